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

namespace geo_oppi {

inline constexpr const char* format_marker = "geo_oppi Oasis database 1";

inline constexpr const char* schema_sql =
    "CREATE TABLE oasis(format TEXT NOT NULL);"
    "CREATE TABLE symbol(id INTEGER PRIMARY KEY, name TEXT NOT NULL, type INTEGER NOT NULL,"
    " category INTEGER NOT NULL, width INTEGER, decimals INTEGER, format INTEGER, unit TEXT);"
    "CREATE INDEX symbol_name ON symbol(name, type);"
    "CREATE TABLE association(line INTEGER NOT NULL, channel INTEGER NOT NULL, PRIMARY KEY(line, channel));"
    "CREATE TABLE channel_data(line INTEGER NOT NULL, channel INTEGER NOT NULL, count INTEGER NOT NULL,"
    " data BLOB NOT NULL, PRIMARY KEY(line, channel));";

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
