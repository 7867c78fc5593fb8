#include "ui/file_search.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

#include "util/text.h"

namespace corvane::ui {

namespace fs = std::filesystem;

std::string list_pattern(std::string_view extension_text) {
  if (extension_text.substr(0, 2) == "*.") return std::string(extension_text);
  if (extension_text.substr(0, 1) == ".") return "*" + std::string(extension_text);  // ".dat" means "dat"
  return "*." + std::string(extension_text);
}

std::string search_pattern(std::string_view extension_text) {
  std::string p(trim_spaces(list_pattern(trim_spaces(extension_text))));
  if (p.find('.', 1) == std::string::npos) p = "*.*";
  if (p.rfind('.') == p.size() - 1) p += "*";
  return p;
}

namespace {

char fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Wildcard match of one pattern; "*" matches any run, "?" one character.
bool glob_match(std::string_view p, std::string_view s) {
  std::size_t pi = 0, si = 0;
  std::size_t star = std::string_view::npos, resume = 0;
  while (si < s.size()) {
    if (pi < p.size() && (p[pi] == '?' || (p[pi] != '*' && fold(p[pi]) == fold(s[si])))) {
      ++pi;
      ++si;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      resume = si;
    } else if (star != std::string_view::npos) {
      pi = star + 1;
      si = ++resume;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

bool matches_one(std::string_view p, std::string_view name) {
  if (p.empty()) return false;
  if (glob_match(p, name)) return true;
  if (name.find('.') != std::string_view::npos) return false;
  if (p.size() >= 2 && p.substr(p.size() - 2) == ".*") return glob_match(p.substr(0, p.size() - 2), name);
  if (p.back() == '.') return glob_match(p.substr(0, p.size() - 1), name);
  return false;
}

bool name_less(const std::string& a, const std::string& b) {
  const auto n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char x = fold(a[i]), y = fold(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string join(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

using DirId = std::pair<dev_t, ino_t>;

// The identity of the directory at `path` (links followed); false when it is not a
// readable directory.
bool directory_id(const std::string& path, DirId& id) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  id = {st.st_dev, st.st_ino};
  return true;
}

struct Listing {
  std::string dir;
  std::vector<std::string> subdirs;  // full paths, in name order
  std::vector<std::string> files;    // names matching the pattern, in name order
  std::size_t next = 0;
};

Listing list_directory(const std::string& dir, std::string_view pattern) {
  Listing l;
  l.dir = dir;
  std::vector<std::string> dir_names;
  std::error_code ec;
  fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
  const fs::directory_iterator end;
  for (; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code e2;
    const fs::file_status st = it->status(e2);  // links followed
    if (e2) continue;
    if (fs::is_directory(st))
      dir_names.push_back(std::move(name));
    else if (fs::is_regular_file(st) && matches_pattern(pattern, name))
      l.files.push_back(std::move(name));
  }
  std::sort(dir_names.begin(), dir_names.end(), name_less);
  std::sort(l.files.begin(), l.files.end(), name_less);
  l.subdirs.reserve(dir_names.size());
  for (const auto& n : dir_names) l.subdirs.push_back(join(dir, n));
  return l;
}

}  // namespace

bool matches_pattern(std::string_view pattern, std::string_view name) {
  while (true) {
    const auto semi = pattern.find(';');
    if (matches_one(trim_spaces(pattern.substr(0, semi)), name)) return true;
    if (semi == std::string_view::npos) return false;
    pattern.remove_prefix(semi + 1);
  }
}

std::string search_start(std::string_view directory_text) {
  std::string d(trim_spaces(directory_text));
  while (!d.empty() && d.back() == '/') d.pop_back();
  if (d.empty()) d = "/";
  return d;
}

void find_files(std::string_view directory, std::string_view pattern, Operator& op,
                const std::function<void(const std::string& name, const std::string& directory)>& add) {
  const std::string start = search_start(directory);
  std::set<DirId> visited;
  DirId id;
  if (!directory_id(start, id)) return;
  visited.insert(id);

  // Each listing waits on the stack until its subdirectories have been searched.
  std::vector<Listing> stack;
  stack.push_back(list_directory(start, pattern));
  while (!stack.empty()) {
    Listing& top = stack.back();
    if (top.next < top.subdirs.size()) {
      const std::string sub = top.subdirs[top.next++];
      if (!directory_id(sub, id) || !visited.insert(id).second) continue;
      stack.push_back(list_directory(sub, pattern));
      continue;
    }
    for (const auto& name : top.files) add(name, top.dir);
    stack.pop_back();
    if (!stack.empty()) op.let_events_run();
  }
}

}  // namespace corvane::ui
