#include "geo_oppi/geo_oppi.h"

#include <sqlite3.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "schema.h"

static_assert(std::endian::native == std::endian::little, "channel data are stored little-endian");

namespace {

using namespace geo_oppi;

struct Vector {
  int32_t type = 5;
  std::vector<double> reals;
  std::vector<std::string> texts;
};

struct Database {
  sqlite3* db = nullptr;
  std::string path;
  std::set<int32_t> locks;
  // Statements run for every channel of every line, prepared once.
  sqlite3_stmt* find_symbol = nullptr;
  sqlite3_stmt* put_data = nullptr;
};

struct Context {
  std::string pending;
  std::map<int32_t, Database> databases;
  std::map<int32_t, Vector> vectors;
};

std::mutex guard;
std::map<int32_t, Context> contexts;
int32_t next_handle = 1;
GeoOppiErrorDisplay display = nullptr;
void* display_user = nullptr;

int32_t new_handle() { return next_handle < INT32_MAX ? next_handle++ : 0; }

// The last context and vector looked up: element by element, a vector is filled through
// one handle many times. Map nodes stay where they are until erased.
int32_t cached_context_handle = 0;
Context* cached_context = nullptr;
int32_t cached_vector_handle = 0;
Vector* cached_vector = nullptr;

Context* context_of(int32_t handle) {
  if (handle == cached_context_handle && cached_context) return cached_context;
  const auto it = contexts.find(handle);
  if (it == contexts.end()) return nullptr;
  cached_context_handle = handle;
  cached_context = &it->second;
  return cached_context;
}

Vector* vector_of(Context& c, int32_t handle) {
  if (handle == cached_vector_handle && cached_vector && cached_context == &c) return cached_vector;
  const auto it = c.vectors.find(handle);
  if (it == c.vectors.end()) return nullptr;
  cached_vector_handle = handle;
  cached_vector = &it->second;
  return cached_vector;
}

// An error pending on the context; a later one is added on a line of its own.
void fail(Context& c, const std::string& text) {
  if (!c.pending.empty()) c.pending += '\n';
  c.pending += text;
}

int32_t value(const int32_t* p) { return p ? *p : 0; }
std::string text(const char* p) { return p ? std::string(p) : std::string(); }

Database* database_of(Context& c, const int32_t* handle, const char* call) {
  const auto it = c.databases.find(value(handle));
  if (it == c.databases.end()) {
    fail(c, std::string(call) + ": " + std::to_string(value(handle)) + " is not an open database");
    return nullptr;
  }
  return &it->second;
}

bool run(Context& c, Database& d, const char* sql, const char* call) {
  char* message = nullptr;
  if (sqlite3_exec(d.db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  fail(c, std::string(call) + ": " + d.path + ": " + (message ? message : "database error"));
  sqlite3_free(message);
  return false;
}

// A prepared statement that finalises itself.
class Statement {
public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
  ~Statement() { sqlite3_finalize(s_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }

private:
  sqlite3_stmt* s_ = nullptr;
};

struct Symbol {
  int32_t type = 0;
  int32_t category = 0;
  std::string name;
};

bool symbol_of(Database& d, int32_t id, Symbol& out) {
  if (!d.find_symbol && sqlite3_prepare_v2(d.db, "SELECT type, category, name FROM symbol WHERE id = ?", -1,
                                           &d.find_symbol, nullptr) != SQLITE_OK)
    return false;
  sqlite3_stmt* st = d.find_symbol;
  sqlite3_reset(st);
  sqlite3_bind_int(st, 1, id);
  if (sqlite3_step(st) != SQLITE_ROW) return false;
  out.type = sqlite3_column_int(st, 0);
  out.category = sqlite3_column_int(st, 1);
  out.name = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
  sqlite3_reset(st);
  return true;
}

// The channel `handle`, locked for a change.
bool locked_channel(Context& c, Database& d, const int32_t* handle, const char* call, Symbol& channel) {
  if (!symbol_of(d, value(handle), channel) || channel.type != channel_type) {
    fail(c, std::string(call) + ": " + std::to_string(value(handle)) + " is not a channel of " + d.path);
    return false;
  }
  if (!d.locks.count(value(handle))) {
    fail(c, std::string(call) + ": channel " + channel.name + " is not locked");
    return false;
  }
  return true;
}

void set_channel_column(int32_t context, const int32_t* database, const int32_t* channel, const char* column,
                        const char* call, int64_t number, const char* unit) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return;
  Database* d = database_of(*c, database, call);
  Symbol symbol;
  if (!d || !locked_channel(*c, *d, channel, call, symbol)) return;
  const std::string sql = std::string("UPDATE symbol SET ") + column + " = ? WHERE id = ?";
  Statement st(d->db, sql.c_str());
  if (unit)
    sqlite3_bind_text(st.get(), 1, unit, -1, SQLITE_TRANSIENT);
  else
    sqlite3_bind_int64(st.get(), 1, number);
  sqlite3_bind_int(st.get(), 2, value(channel));
  if (!st || sqlite3_step(st.get()) != SQLITE_DONE) fail(*c, std::string(call) + ": " + sqlite3_errmsg(d->db));
}

void close_database(Database& d) {
  sqlite3_finalize(d.find_symbol);
  sqlite3_finalize(d.put_data);
  sqlite3_exec(d.db, "ROLLBACK", nullptr, nullptr, nullptr);  // what was not committed is dropped
  sqlite3_close(d.db);
  d.db = nullptr;
}

}  // namespace

extern "C" {

void GeoOppi_SetErrorDisplay(GeoOppiErrorDisplay new_display, void* user) {
  std::lock_guard lock(guard);
  display = new_display;
  display_user = user;
}

int32_t Std_Create_GEO(const char* application, const char* version, const int32_t*, const int64_t*) {
  std::lock_guard lock(guard);
  if (text(application).empty() || text(version).empty()) return 0;
  const int32_t handle = new_handle();
  if (handle) contexts[handle];
  return handle;
}

int32_t Std_iCheckError_SYS(int32_t context) {
  std::lock_guard lock(guard);
  const Context* c = context_of(context);
  return c && !c->pending.empty() ? 1 : 0;
}

void Std_ShowError_GEO(int32_t context) {
  std::string shown;
  GeoOppiErrorDisplay to = nullptr;
  void* user = nullptr;
  {
    std::lock_guard lock(guard);
    Context* c = context_of(context);
    if (!c || c->pending.empty()) return;
    shown.swap(c->pending);
    to = display;
    user = display_user;
  }
  if (to)
    to(shown.c_str(), user);
  else
    std::fprintf(stderr, "%s\n", shown.c_str());
}

void Std_Create_DB(int32_t context, const char* path, const int32_t*, const int32_t*, const int32_t*, const int32_t*,
                   const int32_t*, const char*, const char*) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return;
  const std::string file = text(path);
  std::error_code ec;
  if (file.empty() || std::filesystem::exists(file, ec)) {
    fail(*c, "Std_Create_DB: " + (file.empty() ? std::string("no file name") : file + " exists already"));
    return;
  }
  Database d;
  d.path = file;
  if (sqlite3_open_v2(file.c_str(), &d.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    fail(*c, "Std_Create_DB: " + file + ": " + (d.db ? sqlite3_errmsg(d.db) : "cannot be created"));
    sqlite3_close(d.db);
    std::filesystem::remove(file, ec);
    return;
  }
  const std::string sql =
      std::string("BEGIN;") + schema_sql + "INSERT INTO oasis VALUES('" + format_marker + "');COMMIT;";
  const bool made = run(*c, d, sql.c_str(), "Std_Create_DB");
  sqlite3_close(d.db);
  if (!made) std::filesystem::remove(file, ec);
}

int32_t Std_Open_DB(int32_t context, const char* path, const char*, const char*) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return 0;
  Database d;
  d.path = text(path);
  if (sqlite3_open_v2(d.path.c_str(), &d.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    fail(*c, "Std_Open_DB: " + d.path + ": " + (d.db ? sqlite3_errmsg(d.db) : "cannot be opened"));
    sqlite3_close(d.db);
    return 0;
  }
  Statement st(d.db, "SELECT format FROM oasis");
  const bool ours = st && sqlite3_step(st.get()) == SQLITE_ROW &&
                    std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), 0)), format_marker) == 0;
  if (!ours) {
    fail(*c, "Std_Open_DB: " + d.path + " is not an Oasis database");
    sqlite3_close(d.db);
    return 0;
  }
  if (!run(*c, d, "BEGIN IMMEDIATE", "Std_Open_DB")) {
    sqlite3_close(d.db);
    return 0;
  }
  const int32_t handle = new_handle();
  c->databases[handle] = std::move(d);
  return handle;
}

void Std_Commit_DB(int32_t context, const int32_t* database) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return;
  if (Database* d = database_of(*c, database, "Std_Commit_DB")) run(*c, *d, "COMMIT; BEGIN IMMEDIATE", "Std_Commit_DB");
}

void Std_Destroy_DB(int32_t context, const int32_t* database) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return;
  if (Database* d = database_of(*c, database, "Std_Destroy_DB")) {
    close_database(*d);
    c->databases.erase(value(database));
  }
}

int32_t Std_CreateSymb_DB(int32_t context, const int32_t* database, const char* name, const int32_t* type,
                          const int32_t* owner, const int32_t* category) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return 0;
  Database* d = database_of(*c, database, "Std_CreateSymb_DB");
  if (!d) return 0;
  const std::string symbol = text(name);
  const int32_t kind = value(type);
  const int32_t cat = value(category);
  const bool valid = kind == line_type ? (cat == 100 || cat == 200) : kind == channel_type && element_size(cat) > 0;
  if (symbol.empty() || !valid) {
    fail(*c, "Std_CreateSymb_DB: symbol \"" + symbol + "\" of type " + std::to_string(kind) + " and category " +
                 std::to_string(cat) + " cannot be made");
    return 0;
  }
  Statement find(d->db, "SELECT id, category FROM symbol WHERE name = ? AND type = 2");
  sqlite3_bind_text(find.get(), 1, symbol.c_str(), -1, SQLITE_TRANSIENT);
  if (kind == channel_type && sqlite3_step(find.get()) == SQLITE_ROW) {
    if (sqlite3_column_int(find.get(), 1) == cat) return sqlite3_column_int(find.get(), 0);
    fail(*c, "Std_CreateSymb_DB: \"" + symbol + "\" exists already with another category");
    return 0;
  }
  Statement insert(d->db, "INSERT INTO symbol(name, type, category) VALUES(?, ?, ?)");
  sqlite3_bind_text(insert.get(), 1, symbol.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(insert.get(), 2, kind);
  sqlite3_bind_int(insert.get(), 3, cat);
  if (sqlite3_step(insert.get()) != SQLITE_DONE) {
    fail(*c, "Std_CreateSymb_DB: " + d->path + ": " + sqlite3_errmsg(d->db));
    return 0;
  }
  (void)owner;
  return static_cast<int32_t>(sqlite3_last_insert_rowid(d->db));
}

int32_t Std_FindSymb_DB(int32_t context, const int32_t* database, const char* name, const int32_t* type) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return 0;
  Database* d = database_of(*c, database, "Std_FindSymb_DB");
  if (!d) return 0;
  Statement find(d->db, "SELECT id FROM symbol WHERE name = ? AND type = ?");
  sqlite3_bind_text(find.get(), 1, text(name).c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int(find.get(), 2, value(type));
  if (sqlite3_step(find.get()) == SQLITE_ROW) return sqlite3_column_int(find.get(), 0);
  fail(*c, "Std_FindSymb_DB: no symbol \"" + text(name) + "\" of type " + std::to_string(value(type)));
  return 0;
}

void Std_LockSymb_DB(int32_t context, const int32_t* database, const int32_t* symbol, const int32_t*, const int32_t*) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return;
  Database* d = database_of(*c, database, "Std_LockSymb_DB");
  Symbol s;
  if (!d) return;
  if (!symbol_of(*d, value(symbol), s)) {
    fail(*c, "Std_LockSymb_DB: " + std::to_string(value(symbol)) + " is not a symbol of " + d->path);
    return;
  }
  d->locks.insert(value(symbol));
}

void Std_UnLockSymb_DB(int32_t context, const int32_t* database, const int32_t* symbol) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return;
  Database* d = database_of(*c, database, "Std_UnLockSymb_DB");
  if (d && d->locks.erase(value(symbol)) == 0)
    fail(*c, "Std_UnLockSymb_DB: symbol " + std::to_string(value(symbol)) + " is not locked");
}

void Std_SetChanWidth_DB(int32_t context, const int32_t* database, const int32_t* channel, const int32_t* width) {
  set_channel_column(context, database, channel, "width", "Std_SetChanWidth_DB", value(width), nullptr);
}

void Std_SetChanDecimal_DB(int32_t context, const int32_t* database, const int32_t* channel, const int32_t* decimals) {
  set_channel_column(context, database, channel, "decimals", "Std_SetChanDecimal_DB", value(decimals), nullptr);
}

void Std_SetChanFormat_DB(int32_t context, const int32_t* database, const int32_t* channel, const int32_t* format) {
  set_channel_column(context, database, channel, "format", "Std_SetChanFormat_DB", value(format), nullptr);
}

void Std_SetChanUnit_DB(int32_t context, const int32_t* database, const int32_t* channel, const char* unit) {
  const std::string u = text(unit);
  set_channel_column(context, database, channel, "unit", "Std_SetChanUnit_DB", 0, u.c_str());
}

void Std_Associate_DB(int32_t context, const int32_t* database, const int32_t* line, const int32_t* channel) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return;
  Database* d = database_of(*c, database, "Std_Associate_DB");
  if (!d) return;
  Symbol l, ch;
  if (!symbol_of(*d, value(line), l) || l.type != line_type || !symbol_of(*d, value(channel), ch) ||
      ch.type != channel_type) {
    fail(*c, "Std_Associate_DB: " + std::to_string(value(line)) + " and " + std::to_string(value(channel)) +
                 " are not a line and a channel of " + d->path);
    return;
  }
  Statement st(d->db, "INSERT OR IGNORE INTO association VALUES(?, ?)");
  sqlite3_bind_int(st.get(), 1, value(line));
  sqlite3_bind_int(st.get(), 2, value(channel));
  if (sqlite3_step(st.get()) != SQLITE_DONE) fail(*c, "Std_Associate_DB: " + std::string(sqlite3_errmsg(d->db)));
}

int32_t Std_CreateExt_VV(int32_t context, const int32_t* type, const int32_t* length) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return 0;
  const int32_t t = value(type);
  const int32_t n = value(length);
  if (element_size(t) == 0 || n < 0) {
    fail(*c, "Std_CreateExt_VV: no vector of type " + std::to_string(t) + " and length " + std::to_string(n));
    return 0;
  }
  Vector v;
  v.type = t;
  if (t < 0)
    v.texts.assign(static_cast<std::size_t>(n), std::string());
  else
    v.reals.assign(static_cast<std::size_t>(n), missing);
  const int32_t handle = new_handle();
  if (handle) c->vectors[handle] = std::move(v);
  return handle;
}

void Std_SetReal_VV(int32_t context, const int32_t* vector, const int32_t* index, const double* number) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return;
  Vector* v = vector_of(*c, value(vector));
  const int32_t i = value(index);
  if (!v || v->type < 0 || i < 0 || static_cast<std::size_t>(i) >= v->reals.size() || !number) {
    fail(*c, "Std_SetReal_VV: no number element " + std::to_string(i) + " in vector " + std::to_string(value(vector)));
    return;
  }
  v->reals[static_cast<std::size_t>(i)] = *number;
}

void Std_SetString_VV(int32_t context, const int32_t* vector, const int32_t* index, const char* str) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return;
  Vector* v = vector_of(*c, value(vector));
  const int32_t i = value(index);
  if (!v || v->type >= 0 || i < 0 || static_cast<std::size_t>(i) >= v->texts.size()) {
    fail(*c, "Std_SetString_VV: no text element " + std::to_string(i) + " in vector " + std::to_string(value(vector)));
    return;
  }
  const std::size_t width = static_cast<std::size_t>(-v->type);
  v->texts[static_cast<std::size_t>(i)].assign(str ? str : "", str ? strnlen(str, width) : 0);
}

void Std_Destroy_VV(int32_t context, const int32_t* vector) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return;
  if (value(vector) == cached_vector_handle) cached_vector = nullptr;
  if (c->vectors.erase(value(vector)) == 0)
    fail(*c, "Std_Destroy_VV: " + std::to_string(value(vector)) + " is not a vector");
}

void Std_PutChanVV_DB(int32_t context, const int32_t* database, const int32_t* line, const int32_t* channel,
                      const int32_t* vector) {
  std::lock_guard lock(guard);
  Context* c = context_of(context);
  if (!c) return;
  Database* d = database_of(*c, database, "Std_PutChanVV_DB");
  if (!d) return;
  Symbol l, ch;
  if (!symbol_of(*d, value(line), l) || l.type != line_type) {
    fail(*c, "Std_PutChanVV_DB: " + std::to_string(value(line)) + " is not a line of " + d->path);
    return;
  }
  if (!locked_channel(*c, *d, channel, "Std_PutChanVV_DB", ch)) return;
  const auto it = c->vectors.find(value(vector));
  if (it == c->vectors.end() || (it->second.type < 0) != (ch.category < 0)) {
    fail(*c, "Std_PutChanVV_DB: vector " + std::to_string(value(vector)) + " does not fit channel " + ch.name);
    return;
  }
  const Vector& v = it->second;
  const std::size_t size = static_cast<std::size_t>(element_size(ch.category));
  const std::size_t count = v.type < 0 ? v.texts.size() : v.reals.size();
  std::vector<unsigned char> blob(count * size, 0);
  for (std::size_t i = 0; i < count; ++i) {
    unsigned char* at = blob.data() + i * size;
    if (ch.category == 4) {
      const float f = static_cast<float>(v.reals[i]);
      std::memcpy(at, &f, sizeof f);
    } else if (ch.category == 5) {
      std::memcpy(at, &v.reals[i], sizeof(double));
    } else {
      std::memcpy(at, v.texts[i].data(), std::min(size, v.texts[i].size()));
    }
  }
  if (!d->put_data && sqlite3_prepare_v2(d->db, "INSERT OR REPLACE INTO channel_data VALUES(?, ?, ?, ?)", -1,
                                         &d->put_data, nullptr) != SQLITE_OK) {
    fail(*c, "Std_PutChanVV_DB: " + std::string(sqlite3_errmsg(d->db)));
    return;
  }
  sqlite3_stmt* st = d->put_data;
  sqlite3_reset(st);
  sqlite3_bind_int(st, 1, value(line));
  sqlite3_bind_int(st, 2, value(channel));
  sqlite3_bind_int64(st, 3, static_cast<sqlite3_int64>(count));
  sqlite3_bind_blob(st, 4, blob.data(), static_cast<int>(blob.size()), SQLITE_STATIC);
  if (sqlite3_step(st) != SQLITE_DONE) fail(*c, "Std_PutChanVV_DB: " + std::string(sqlite3_errmsg(d->db)));
  sqlite3_reset(st);  // lets go of the blob
}

}  // extern "C"
