// oasis-dump DATABASE: prints an Oasis database written by geo_oppi, tab-separated:
//   line NAME CATEGORY                                   each line, in creation order
//   channel NAME TYPE WIDTH DECIMALS FORMAT UNIT ASSOCIATED   each channel ("-" unset)
//   data LINE, a row of the names of the channels holding data on it, then one row per
//   element: texts in double quotes, numbers as the shortest text of the channel's type,
//   the missing value as *.
// Exit status 0; 1 when the file is not an Oasis database as the library makes it (its
// tables, its marker, each count matching its data), named with the reason; 2 on bad
// usage; 4 when the output could not be written (a full disk, a closed pipe).
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "schema.h"

namespace {

using namespace geo_oppi;

struct Channel {
  std::string name;
  int type = 0;
};

std::string column_text(sqlite3_stmt* st, int i) {
  if (sqlite3_column_type(st, i) == SQLITE_NULL) return "-";
  const unsigned char* t = sqlite3_column_text(st, i);
  return t ? reinterpret_cast<const char*>(t) : "-";
}

// Why the stored data of a channel on a line do not hold `count` elements of the channel's
// type; empty when they do.
std::string elements_damage(const Channel& c, sqlite3_int64 count, int bytes) {
  const int size = element_size(c.type);
  if (size == 0) return "channel \"" + c.name + "\" has no element type (" + std::to_string(c.type) + ")";
  if (count < 0 || count > bytes / size || count * size != bytes)
    return "channel \"" + c.name + "\" holds " + std::to_string(bytes) + " bytes, not " + std::to_string(count) +
           " elements of type " + std::to_string(c.type);
  return {};
}

template <class T>
std::string shortest(T v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// One element of a channel's packed data.
std::string element(const std::vector<unsigned char>& data, int type, std::size_t i) {
  const std::size_t size = static_cast<std::size_t>(element_size(type));
  if ((i + 1) * size > data.size()) return "*";
  const unsigned char* at = data.data() + i * size;
  if (type == 4) {
    float f;
    std::memcpy(&f, at, sizeof f);
    return f == static_cast<float>(missing) ? "*" : shortest(f);
  }
  if (type == 5) {
    double d;
    std::memcpy(&d, at, sizeof d);
    return d == missing ? "*" : shortest(d);
  }
  std::string text(reinterpret_cast<const char*>(at), size);
  text.resize(std::strlen(text.c_str()));
  return "\"" + text + "\"";
}

int fail(const char* path, const std::string& why) {
  std::fprintf(stderr, "oasis-dump: %s is not an Oasis database: %s\n", path, why.c_str());
  return 1;
}

// The association of every channel: the names of its lines, comma-separated, read in one
// query.
std::map<sqlite3_int64, std::string> associations(sqlite3* db) {
  std::map<sqlite3_int64, std::string> out;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT a.channel, s.name FROM association a JOIN symbol s ON s.id = a.line ORDER BY s.id", -1,
                     &st, nullptr);
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    std::string& names = out[sqlite3_column_int64(st, 0)];
    names += (names.empty() ? "" : ",") + column_text(st, 1);
  }
  sqlite3_finalize(st);
  return out;
}

// Standard output failed (a full disk, a closed pipe): the reason, exit status 4.
bool output_failed() {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return false;
  const int error = errno;
  std::fprintf(stderr, "oasis-dump: the output could not be written%s%s\n", error ? ": " : "",
               error ? std::strerror(error) : "");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: oasis-dump DATABASE\n");
    return 2;
  }
  const char* path = argv[1];
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    const std::string why = db ? sqlite3_errmsg(db) : "it cannot be opened";
    sqlite3_close(db);
    return fail(path, why);
  }
  distrust_file(db);
  if (const std::string why = not_oasis_reason(db); !why.empty()) {
    sqlite3_close(db);
    return fail(path, why);
  }
  const auto prepare = [&](const char* sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    return st;
  };

  std::vector<std::pair<sqlite3_int64, std::string>> lines;
  sqlite3_stmt* st = prepare("SELECT id, name, category FROM symbol WHERE type = 1 ORDER BY id");
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    lines.emplace_back(sqlite3_column_int64(st, 0), column_text(st, 1));
    std::printf("line\t%s\t%s\n", lines.back().second.c_str(), column_text(st, 2).c_str());
  }
  sqlite3_finalize(st);

  std::map<sqlite3_int64, Channel> channels;
  std::map<sqlite3_int64, std::string> associated = associations(db);
  st = prepare("SELECT id, name, category, width, decimals, format, unit FROM symbol WHERE type = 2 ORDER BY id");
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    const sqlite3_int64 id = sqlite3_column_int64(st, 0);
    const std::string& lines_of = associated[id];
    Channel c{column_text(st, 1), sqlite3_column_int(st, 2)};
    std::printf("channel\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n", c.name.c_str(), column_text(st, 2).c_str(),
                column_text(st, 3).c_str(), column_text(st, 4).c_str(), column_text(st, 5).c_str(),
                column_text(st, 6).c_str(), lines_of.empty() ? "-" : lines_of.c_str());
    channels.emplace(id, std::move(c));
  }
  sqlite3_finalize(st);
  associated.clear();
  if (output_failed()) {
    sqlite3_close(db);
    return 4;
  }

  // Each line's channels in one query, in channel order.
  sqlite3_stmt* data = prepare("SELECT channel, count, data FROM channel_data WHERE line = ? ORDER BY channel");
  int status = 0;
  for (const auto& [line, name] : lines) {
    std::vector<const Channel*> held;
    std::vector<std::vector<unsigned char>> values;
    std::size_t rows = 0;
    sqlite3_reset(data);
    sqlite3_bind_int64(data, 1, line);
    sqlite3_int64 previous = 0;
    std::string damage;
    while (data && damage.empty() && sqlite3_step(data) == SQLITE_ROW) {
      const sqlite3_int64 id = sqlite3_column_int64(data, 0);
      const auto it = channels.find(id);
      if (it == channels.end() || (!held.empty() && id == previous)) continue;
      previous = id;
      damage = elements_damage(it->second, sqlite3_column_int64(data, 1), sqlite3_column_bytes(data, 2));
      const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(data, 2));
      values.emplace_back(bytes, bytes + (bytes ? sqlite3_column_bytes(data, 2) : 0));
      held.push_back(&it->second);
      rows = std::max(rows, static_cast<std::size_t>(sqlite3_column_int64(data, 1)));
    }
    if (!damage.empty()) {
      status = fail(path, "line \"" + name + "\": " + damage);
      break;
    }
    if (held.empty()) continue;
    std::printf("data\t%s\n", name.c_str());
    for (std::size_t k = 0; k < held.size(); ++k) std::printf("%s%s", k ? "\t" : "", held[k]->name.c_str());
    std::printf("\n");
    for (std::size_t i = 0; i < rows; ++i) {
      for (std::size_t k = 0; k < held.size(); ++k)
        std::printf("%s%s", k ? "\t" : "", element(values[k], held[k]->type, i).c_str());
      std::printf("\n");
    }
    if (std::ferror(stdout)) break;
  }
  sqlite3_finalize(data);
  sqlite3_close(db);
  if (output_failed()) return 4;
  return status;
}
