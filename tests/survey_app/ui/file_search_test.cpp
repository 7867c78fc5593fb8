// The file patterns and the recursive search of "Find and Add All Files".
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "recording_operator.h"
#include "temp_dir.h"
#include "ui/file_search.h"

namespace corvane::ui {
namespace {

namespace fs = std::filesystem;
using test::RecordingOperator;
using test::TempDir;
using Found = std::vector<std::pair<std::string, std::string>>;

struct CountingOperator : RecordingOperator {
  int breaths = 0;
  void let_events_run() override { ++breaths; }
};

Found search(const fs::path& dir, const std::string& pattern, Operator& op) {
  Found found;
  find_files(dir.string(), pattern, op,
             [&](const std::string& name, const std::string& d) { found.emplace_back(name, d); });
  return found;
}

void touch(const fs::path& p) {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << "x\n";
}

TEST(FilePatternTest, ExtensionTextGivesTheListPattern) {
  for (const char* spelling : {"dat", ".dat", "*.dat"}) {
    EXPECT_EQ(list_pattern(spelling), "*.dat") << spelling;
    EXPECT_EQ(search_pattern(spelling), "*.dat") << spelling;
  }
  EXPECT_EQ(list_pattern("*"), "*.*");
  EXPECT_EQ(list_pattern(""), "*.");
  EXPECT_EQ(list_pattern("*.d?t;*.txt"), "*.d?t;*.txt");
}

TEST(FilePatternTest, ExtensionTextGivesTheSearchPattern) {
  EXPECT_EQ(search_pattern("*"), "*.*");
  EXPECT_EQ(search_pattern("dat"), "*.dat");
  EXPECT_EQ(search_pattern("  dat  "), "*.dat");
  EXPECT_EQ(search_pattern(""), "*.*");
  // Typed with its "*." the extension gives the same pattern as without it.
  EXPECT_EQ(search_pattern("*.dat"), "*.dat");
}

TEST(FilePatternTest, WildcardsMatchAsOnTheDesktop) {
  EXPECT_TRUE(matches_pattern("*.dat", "line1.dat"));
  EXPECT_TRUE(matches_pattern("*.dat", "LINE1.DAT"));
  EXPECT_FALSE(matches_pattern("*.dat", "line1.dat.bak"));
  EXPECT_FALSE(matches_pattern("*.dat", "line1.txt"));
  EXPECT_TRUE(matches_pattern("*.*", "README"));
  EXPECT_TRUE(matches_pattern("*.*", "a.b.c"));
  EXPECT_TRUE(matches_pattern("mp?_*.dat", "mp2_0710.dat"));
  EXPECT_FALSE(matches_pattern("mp?_*.dat", "mp22_0710.dat"));
  EXPECT_TRUE(matches_pattern("*.", "README"));
  EXPECT_FALSE(matches_pattern("*.", "x.dat"));
  EXPECT_TRUE(matches_pattern("*.txt; *.dat", "x.dat"));
  EXPECT_FALSE(matches_pattern("", "x.dat"));
}

TEST(FilePatternTest, SearchStartIsTrimmedWithoutTrailingSlash) {
  EXPECT_EQ(search_start("  /data/survey//  "), "/data/survey");
  EXPECT_EQ(search_start(""), "/");
  EXPECT_EQ(search_start("///"), "/");
}

TEST(FindFilesTest, FilesOfSubdirectoriesComeFirst) {
  TempDir t;
  const fs::path a = t.path() / "a";
  touch(a / "x.dat");
  touch(a / "b" / "y.dat");
  touch(a / "b" / "note.txt");
  CountingOperator op;
  const Found found = search(a, "*.dat", op);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], (std::pair<std::string, std::string>{"y.dat", (a / "b").string()}));
  EXPECT_EQ(found[1], (std::pair<std::string, std::string>{"x.dat", a.string()}));
  EXPECT_EQ(op.breaths, 1);  // after the one subdirectory
}

TEST(FindFilesTest, SubdirectoriesInNameOrderDepthFirst) {
  TempDir t;
  const fs::path r = t.path();
  touch(r / "B" / "b1.dat");
  touch(r / "a" / "z" / "z1.dat");
  touch(r / "a" / "a1.dat");
  touch(r / "c.dat");
  touch(r / ".hidden" / "h.dat");
  touch(r / ".h.dat");
  CountingOperator op;
  Found found = search(r.string() + "/", "*.*", op);
  std::vector<std::string> names;
  for (const auto& f : found) names.push_back(f.first);
  EXPECT_EQ(names, (std::vector<std::string>{"z1.dat", "a1.dat", "b1.dat", "c.dat"}));
  EXPECT_EQ(op.breaths, 3);  // a/z, a, B
}

TEST(FindFilesTest, LinkCycleEnds) {
  TempDir t;
  const fs::path a = t.path() / "a";
  touch(a / "b" / "y.dat");
  touch(a / "x.dat");
  fs::create_directory_symlink(a, a / "b" / "back");  // a/b/back -> a
  fs::create_directory_symlink(a / "b", a / "b" / "self");
  CountingOperator op;
  const Found found = search(a, "*.dat", op);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].first, "y.dat");
  EXPECT_EQ(found[1].first, "x.dat");
}

TEST(FindFilesTest, LinkToAnotherTreeIsFollowedOnce) {
  TempDir t;
  touch(t.path() / "elsewhere" / "far.dat");
  const fs::path a = t.path() / "a";
  touch(a / "x.dat");
  fs::create_directory_symlink(t.path() / "elsewhere", a / "l1");
  fs::create_directory_symlink(t.path() / "elsewhere", a / "l2");
  fs::create_symlink(t.path() / "nowhere", a / "broken");
  fs::create_symlink(a / "x.dat", a / "linked.dat");
  CountingOperator op;
  const Found found = search(a, "*.dat", op);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0], (std::pair<std::string, std::string>{"far.dat", (a / "l1").string()}));
  EXPECT_EQ(found[1].first, "linked.dat");
  EXPECT_EQ(found[2].first, "x.dat");
}

TEST(FindFilesTest, UnreadableDirectoryIsSkipped) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  TempDir t;
  touch(t.path() / "locked" / "secret.dat");
  touch(t.path() / "open" / "o.dat");
  fs::permissions(t.path() / "locked", fs::perms::none);
  CountingOperator op;
  const Found found = search(t.path(), "*.dat", op);
  fs::permissions(t.path() / "locked", fs::perms::owner_all);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].first, "o.dat");
  EXPECT_TRUE(op.events.empty());  // nothing said to the person
}

TEST(FindFilesTest, MissingStartFindsNothing) {
  TempDir t;
  CountingOperator op;
  EXPECT_TRUE(search(t.path() / "missing", "*.*", op).empty());
  EXPECT_TRUE(op.events.empty());
}

// A folder in memory when the system has one (making 10,000 directories on a disk can
// take longer than searching them), else under the temporary directory.
class ScratchDir {
public:
  ScratchDir() {
    const fs::path shm = "/dev/shm";
    const fs::path base = fs::is_directory(shm) && ::access(shm.c_str(), W_OK) == 0 ? shm : fs::temp_directory_path();
    path_ = base / ("corvane-test-" + std::to_string(::getpid()) + "-" +
                    std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

private:
  fs::path path_;
};

TEST(FindFilesTest, TreeOfTenThousandDirectories) {
  ScratchDir t;
  // 1 + 99 + 99 * 100 = 10,000 directories, one file in each.
  const fs::path root = t.path() / "root";
  int made = 0;
  touch(root / "f0.dat");
  ++made;
  for (int i = 0; i < 99; ++i) {
    const fs::path d = root / ("d" + std::to_string(i));
    touch(d / ("f" + std::to_string(made++) + ".dat"));
    for (int j = 0; j < 100; ++j) touch(d / ("e" + std::to_string(j)) / ("f" + std::to_string(made++) + ".dat"));
  }
  ASSERT_EQ(made, 10000);
  CountingOperator op;
  const Found found = search(root, "*.dat", op);
  EXPECT_EQ(found.size(), 10000u);
  EXPECT_EQ(op.breaths, 9999);
  EXPECT_EQ(found.back(), (std::pair<std::string, std::string>{"f0.dat", root.string()}));
}

TEST(FindFilesTest, DeepChainOfDirectories) {
  ScratchDir t;
  fs::path p = t.path();
  for (int i = 0; i < 1000; ++i) p /= "d";
  touch(p / "deep.dat");
  touch(t.path() / "top.dat");
  CountingOperator op;
  const Found found = search(t.path(), "*.dat", op);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].first, "deep.dat");
  EXPECT_EQ(found[0].second, p.string());
  EXPECT_EQ(found[1].first, "top.dat");
}

}  // namespace
}  // namespace corvane::ui
