// oasis-dump DATABASE: prints an Oasis database written by geo_oppi, tab-separated:
//   line NAME CATEGORY                                   each line, in creation order
//   channel NAME TYPE WIDTH DECIMALS FORMAT UNIT ASSOCIATED   each channel ("-" unset)
//   data LINE, a row of the names of the channels holding data on it, then one row per
//   element: texts in double quotes, numbers as the shortest text of the channel's type,
//   the missing value as *.
#include <sqlite3.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "schema.h"

namespace {

using namespace geo_oppi;

struct Channel {
  int id = 0;
  std::string name;
  int type = 0;
};

std::string column_text(sqlite3_stmt* st, int i) {
  if (sqlite3_column_type(st, i) == SQLITE_NULL) return "-";
  const unsigned char* t = sqlite3_column_text(st, i);
  return t ? reinterpret_cast<const char*>(t) : "-";
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
  const auto prepare = [&](const char* sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    return st;
  };
  sqlite3_stmt* marker = prepare("SELECT format FROM oasis");
  const bool ours = marker && sqlite3_step(marker) == SQLITE_ROW && column_text(marker, 0) == format_marker;
  sqlite3_finalize(marker);
  if (!ours) {
    sqlite3_close(db);
    return fail(path, "it holds no geo_oppi format marker");
  }

  std::vector<std::pair<int, std::string>> lines;
  sqlite3_stmt* st = prepare("SELECT id, name, category FROM symbol WHERE type = 1 ORDER BY id");
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    lines.emplace_back(sqlite3_column_int(st, 0), column_text(st, 1));
    std::printf("line\t%s\t%d\n", column_text(st, 1).c_str(), sqlite3_column_int(st, 2));
  }
  sqlite3_finalize(st);

  std::vector<Channel> channels;
  st = prepare("SELECT id, name, category, width, decimals, format, unit FROM symbol WHERE type = 2 ORDER BY id");
  sqlite3_stmt* assoc =
      prepare("SELECT s.name FROM association a JOIN symbol s ON s.id = a.line WHERE a.channel = ? ORDER BY s.id");
  while (st && sqlite3_step(st) == SQLITE_ROW) {
    Channel c{sqlite3_column_int(st, 0), column_text(st, 1), sqlite3_column_int(st, 2)};
    std::string associated;
    sqlite3_reset(assoc);
    sqlite3_bind_int(assoc, 1, c.id);
    while (assoc && sqlite3_step(assoc) == SQLITE_ROW)
      associated += (associated.empty() ? "" : ",") + column_text(assoc, 0);
    std::printf("channel\t%s\t%d\t%s\t%s\t%s\t%s\t%s\n", c.name.c_str(), c.type, column_text(st, 3).c_str(),
                column_text(st, 4).c_str(), column_text(st, 5).c_str(), column_text(st, 6).c_str(),
                associated.empty() ? "-" : associated.c_str());
    channels.push_back(std::move(c));
  }
  sqlite3_finalize(assoc);
  sqlite3_finalize(st);

  sqlite3_stmt* data = prepare("SELECT count, data FROM channel_data WHERE line = ? AND channel = ?");
  for (const auto& [line, name] : lines) {
    std::vector<const Channel*> held;
    std::vector<std::vector<unsigned char>> values;
    std::size_t rows = 0;
    for (const Channel& c : channels) {
      sqlite3_reset(data);
      sqlite3_bind_int(data, 1, line);
      sqlite3_bind_int(data, 2, c.id);
      if (!data || sqlite3_step(data) != SQLITE_ROW) continue;
      const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(data, 1));
      values.emplace_back(bytes, bytes + sqlite3_column_bytes(data, 1));
      held.push_back(&c);
      rows = std::max(rows, static_cast<std::size_t>(sqlite3_column_int64(data, 0)));
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
  }
  sqlite3_finalize(data);
  sqlite3_close(db);
  return 0;
}
