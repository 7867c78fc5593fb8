#pragma once
// The SQLite schema of an Oasis database, shared by the library and oasis-dump.
//
// oasis       one row: the format marker
// symbol      lines (type 1) and channels (type 2) in creation order; a channel's category
//             is its element type (-N text of N bytes, 4 single, 5 double). Channel names
//             are unique; lines may share a name (a line walked on two days)
// association the channels associated with each line
// channel_data one row per line and channel: the element count and the values, packed in
//             the channel's type (little-endian singles or doubles, or N-byte texts padded
//             with NULs)
#include <sqlite3.h>

#include <cstring>
#include <string>

namespace geo_oppi {

inline constexpr const char* format_marker = "geo_oppi Oasis database 1";

// The tables, each with the CREATE statement SQLite keeps for it in the file: a file whose
// object of one of these names reads otherwise (a view, a virtual table, other columns or
// constraints) is not one the library made, and nothing of its own is run.
struct Table {
  const char* name;
  const char* sql;
};
inline constexpr Table tables[] = {
    {"oasis", "CREATE TABLE oasis(format TEXT NOT NULL)"},
    {"symbol",
     "CREATE TABLE symbol(id INTEGER PRIMARY KEY, name TEXT NOT NULL, type INTEGER NOT NULL,"
     " category INTEGER NOT NULL, width INTEGER, decimals INTEGER, format INTEGER, unit TEXT)"},
    {"association",
     "CREATE TABLE association(line INTEGER NOT NULL, channel INTEGER NOT NULL, PRIMARY KEY(line, channel))"},
    {"channel_data",
     "CREATE TABLE channel_data(line INTEGER NOT NULL, channel INTEGER NOT NULL, count INTEGER NOT NULL,"
     " data BLOB NOT NULL, PRIMARY KEY(line, channel))"},
};
inline constexpr const char* index_sql = "CREATE INDEX symbol_name ON symbol(name, type)";

// A connection to a file that may come from anywhere: SQLite's defensive mode, functions
// in the schema only when harmless, and no trigger or view ever run.
inline void distrust_file(sqlite3* db) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
}

// Why the file open on `db` is not an Oasis database as the library makes it (its tables
// and the format marker); empty when it is one. Reads the schema and the marker only.
inline std::string not_oasis_reason(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  const auto finish = [&](std::string why) {
    sqlite3_finalize(st);
    st = nullptr;
    return why;
  };
  if (sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = ?", -1, &st, nullptr) !=
      SQLITE_OK)
    return finish(sqlite3_errmsg(db));
  for (const Table& t : tables) {
    sqlite3_bind_text(st, 1, t.name, -1, SQLITE_STATIC);
    const int step = sqlite3_step(st);
    const auto* sql = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    if (step != SQLITE_ROW && step != SQLITE_DONE) return finish(sqlite3_errmsg(db));
    if (step != SQLITE_ROW || !sql || std::strcmp(sql, t.sql) != 0)
      return finish(std::string("it holds no table ") + t.name + " as the library makes it");
    sqlite3_reset(st);
  }
  finish({});
  if (sqlite3_prepare_v2(db, "SELECT format FROM oasis", -1, &st, nullptr) != SQLITE_OK)
    return finish(sqlite3_errmsg(db));
  const auto* marker =
      sqlite3_step(st) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : nullptr;
  return finish(marker && std::strcmp(marker, format_marker) == 0 ? "" : "it holds no geo_oppi format marker");
}

inline constexpr int line_type = 1;
inline constexpr int channel_type = 2;
inline constexpr double missing = -1e32;

// Bytes of one element of a channel of this element type; 0 for a type that is none.
inline int element_size(int type) {
  if (type == 4) return 4;
  if (type == 5) return 8;
  if (type < 0 && type >= -1024) return -type;
  return 0;
}

}  // namespace geo_oppi
