#include "geo_oppi/geo_oppi.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "schema.h"

static_assert(std::endian::native == std::endian::little, "channel data are stored little-endian");

namespace {

using namespace geo_oppi;

// A text vector keeps its elements packed, each in -type bytes padded with NULs. The
// elements are made when first needed (see make_elements), so that a vector set whole by one
// range call is not first filled with missing values.
struct Vector {
  int32_t type = 5;
  std::size_t length = 0;
  bool made = false;
  std::vector<double> reals;
  std::vector<char> texts;
};

// The vector's elements, made missing (numbers) or empty (texts) if not made yet.
void make_elements(Vector& v) {
  if (v.made) return;
  if (v.type < 0)
    v.texts.assign(v.length * static_cast<std::size_t>(-v.type), '\0');
  else
    v.reals.assign(v.length, geo_oppi::missing);
  v.made = true;
}

// A vector of this many bytes or more is refused, as a channel of as many would be.
constexpr int64_t vector_bytes_limit = int64_t{1} << 31;

struct Symbol {
  int32_t type = 0;
  int32_t category = 0;
  std::string name;
};

struct Database {
  sqlite3* db = nullptr;
  std::string path;
  // Why the transaction was lost (SQLite rolled it back after a failed write); while set,
  // every call on the database fails, so that nothing is written outside a transaction.
  std::string broken;
  std::set<int32_t> locks;
  // The statements run for every line or channel, each prepared at its first use (keyed by
  // its text, a literal) and finalized when the database closes.
  std::map<const char*, sqlite3_stmt*> statements;
  // The symbols looked up, by number: what symbol_of reads never changes once a symbol is
  // made, and a database whose transaction was lost is not read again.
  std::map<int32_t, Symbol> symbols;
  // Room for a channel's values packed as singles, kept from one channel to the next.
  std::vector<unsigned char> packing;
};

struct Context {
  std::string pending;
  bool pending_lost = false;  // an error whose text could not be kept (no memory)
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

// An error kept even when memory has run out: without room for its text, the context
// still tells that an error is pending.
void fail_without_throwing(Context& c, const char* call, const char* why) noexcept {
  try {
    fail(c, std::string(call) + ": " + why);
  } catch (...) {
    c.pending_lost = true;
  }
}

// Runs one call of the C interface on its context, under the library's lock. Nothing the
// call throws leaves the library: it becomes the context's pending error and the call
// answers `fallback`, as it does for an unknown context.
// Every call on a database runs under the library's lock (call_on), so SQLite's own lock on
// each of its calls would only cost time.
constexpr int no_mutex = SQLITE_OPEN_NOMUTEX;

template <class Body>
int32_t call_on(int32_t context, const char* call, int32_t fallback, Body body) noexcept {
  try {
    std::lock_guard lock(guard);
    Context* c = context_of(context);
    if (!c) return fallback;
    try {
      return body(*c);
    } catch (const std::bad_alloc&) {
      fail_without_throwing(*c, call, "not enough memory");
    } catch (...) {
      fail_without_throwing(*c, call, "an unexpected failure");
    }
  } catch (...) {
    // The lock itself failed: nothing was done.
  }
  return fallback;
}

int32_t value(const int32_t* p) { return p ? *p : 0; }
std::string text(const char* p) { return p ? std::string(p) : std::string(); }

// A text column of a file, which may hold NULL or a value of another type there.
std::string column_text(sqlite3_stmt* st, int column) {
  const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
  return t ? std::string(t) : std::string();
}

void fail_on(Context& c, const Database& d, const char* call, const std::string& why) {
  fail(c, std::string(call) + ": " + d.path + ": " + why);
}

// After a write SQLite refused: the error, and when SQLite rolled the transaction back
// (a full disk, an I/O error) the database is broken for every later call.
void write_failed(Context& c, Database& d, const char* call) {
  const std::string why = sqlite3_errmsg(d.db);
  fail_on(c, d, call, why);
  if (sqlite3_get_autocommit(d.db)) d.broken = why;
}

Database* open_database(Context& c, const int32_t* handle, const char* call) {
  const auto it = c.databases.find(value(handle));
  if (it == c.databases.end()) {
    fail(c, std::string(call) + ": " + std::to_string(value(handle)) + " is not an open database");
    return nullptr;
  }
  return &it->second;
}

// The open database `handle`, usable: not broken by an earlier failed write.
Database* database_of(Context& c, const int32_t* handle, const char* call) {
  Database* d = open_database(c, handle, call);
  if (d && !d->broken.empty()) {
    fail_on(c, *d, call, "an earlier write failed (" + d->broken + "); what was not committed is lost");
    return nullptr;
  }
  return d;
}

bool run(Context& c, Database& d, const char* sql, const char* call) {
  if (sqlite3_exec(d.db, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  write_failed(c, d, call);
  return false;
}

// A kept statement of the database, reset and unbound for a new use, and reset again when
// the use ends; null when it cannot be prepared.
class Kept {
public:
  Kept(Database& d, const char* sql) {
    sqlite3_stmt*& st = d.statements[sql];
    if (!st && sqlite3_prepare_v2(d.db, sql, -1, &st, nullptr) != SQLITE_OK) {
      sqlite3_finalize(st);
      st = nullptr;
    }
    s_ = st;
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }
  ~Kept() { sqlite3_reset(s_); }  // lets go of what was bound and read
  Kept(const Kept&) = delete;
  Kept& operator=(const Kept&) = delete;
  sqlite3_stmt* get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }

private:
  sqlite3_stmt* s_ = nullptr;
};

bool symbol_of(Database& d, int32_t id, Symbol& out) {
  if (const auto known = d.symbols.find(id); known != d.symbols.end()) {
    out = known->second;
    return true;
  }
  const Kept find(d, "SELECT type, category, name FROM symbol WHERE id = ?");
  if (!find) return false;
  sqlite3_stmt* st = find.get();
  sqlite3_bind_int(st, 1, id);
  const bool found = sqlite3_step(st) == SQLITE_ROW;
  if (found) {
    out.type = sqlite3_column_int(st, 0);
    out.category = sqlite3_column_int(st, 1);
    out.name = column_text(st, 2);
    d.symbols.emplace(id, out);
  }
  return found;
}

// A channel of an element type (a file may hold a channel of none).
bool channel_of(Database& d, int32_t id, Symbol& out) {
  return symbol_of(d, id, out) && out.type == channel_type && element_size(out.category) > 0;
}

// The channel `handle`, locked for a change.
bool locked_channel(Context& c, Database& d, const int32_t* handle, const char* call, Symbol& channel) {
  if (!channel_of(d, value(handle), channel)) {
    fail(c, std::string(call) + ": " + std::to_string(value(handle)) + " is not a channel of " + d.path);
    return false;
  }
  if (!d.locks.count(value(handle))) {
    fail(c, std::string(call) + ": channel " + channel.name + " is not locked");
    return false;
  }
  return true;
}

// `sql` sets one column of the channel's symbol: its value, then the channel's id.
void set_channel_column(int32_t context, const int32_t* database, const int32_t* channel, const char* sql,
                        const char* call, int64_t number, const char* unit) {
  call_on(context, call, 0, [&](Context& c) {
    Database* d = database_of(c, database, call);
    Symbol symbol;
    if (!d || !locked_channel(c, *d, channel, call, symbol)) return 0;
    const Kept st(*d, sql);
    if (unit)
      sqlite3_bind_text(st.get(), 1, unit, -1, SQLITE_TRANSIENT);
    else
      sqlite3_bind_int64(st.get(), 1, number);
    sqlite3_bind_int(st.get(), 2, value(channel));
    if (!st || sqlite3_step(st.get()) != SQLITE_DONE) write_failed(c, *d, call);
    return 0;
  });
}

void close_database(Database& d) {
  for (const auto& [sql, st] : d.statements) sqlite3_finalize(st);
  d.statements.clear();
  sqlite3_exec(d.db, "ROLLBACK", nullptr, nullptr, nullptr);  // what was not committed is dropped
  sqlite3_close(d.db);
  d.db = nullptr;
}

// A new, empty file at `file` for a database: never through a symbolic link (a dangling
// one would create its target) and never over a file that exists. Empty when made, else
// why not.
std::string new_database_file(const std::string& file) {
  if (file.empty()) return "no file name";
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd >= 0) {
    ::close(fd);
    return {};
  }
  const int error = errno;
  struct stat st {};
  if (error == EEXIST && ::lstat(file.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return file + " is a symbolic link";
  if (error == EEXIST) return file + " exists already";
  return file + ": " + std::strerror(error);
}

// The vector's elements in the channel's type, packed as channel_data keeps them: the
// vector's own bytes when they are laid out so already, else packed in `room`.
std::span<const unsigned char> packed(const Vector& v, int32_t channel_type, std::size_t size,
                                      std::vector<unsigned char>& room) {
  const std::size_t text_width = v.type < 0 ? static_cast<std::size_t>(-v.type) : 0;
  if (channel_type == 5) return {reinterpret_cast<const unsigned char*>(v.reals.data()), v.length * size};
  if (channel_type < 0 && text_width == size)
    return std::span(reinterpret_cast<const unsigned char*>(v.texts.data()), v.length * size);
  if (room.size() < v.length * size) room.resize(v.length * size);
  for (std::size_t i = 0; i < v.length; ++i) {
    unsigned char* at = room.data() + i * size;
    if (channel_type == 4) {
      const float f = static_cast<float>(v.reals[i]);
      std::memcpy(at, &f, sizeof f);
    } else {
      const std::size_t n = std::min(size, text_width);
      std::memcpy(at, v.texts.data() + i * text_width, n);
      std::memset(at + n, 0, size - n);
    }
  }
  return std::span<const unsigned char>(room.data(), v.length * size);
}

// Handles are positive 32-bit numbers; a symbol a file numbers otherwise cannot be one.
int32_t symbol_handle(sqlite3_int64 id) { return id > 0 && id <= INT32_MAX ? static_cast<int32_t>(id) : 0; }

}  // namespace

namespace {

// The vector of a range call when elements first .. first + count - 1 are all in it and of
// the kind asked for; else the failure is set and null returned.
Vector* range_of(Context& c, const char* call, const int32_t* vector, const int32_t* first, const int32_t* count,
                 bool texts, const void* data) {
  Vector* v = vector_of(c, value(vector));
  const int64_t from = value(first), n = value(count);
  if (!v || (v->type < 0) != texts || from < 0 || n < 0 || from + n > static_cast<int64_t>(v->length) ||
      (n > 0 && !data)) {
    fail(c, std::string(call) + ": no " + (texts ? "text" : "number") + " elements " + std::to_string(from) + " to " +
                std::to_string(from + n - 1) + " in vector " + std::to_string(value(vector)));
    return nullptr;
  }
  return v;
}

}  // namespace

extern "C" {

void GeoOppi_SetErrorDisplay(GeoOppiErrorDisplay new_display, void* user) {
  try {
    std::lock_guard lock(guard);
    display = new_display;
    display_user = user;
  } catch (...) {
    // The lock failed: the display stays as it was.
  }
}

int32_t Std_Create_GEO(const char* application, const char* version, const int32_t*, const int64_t*) {
  try {
    std::lock_guard lock(guard);
    if (text(application).empty() || text(version).empty()) return 0;
    const int32_t handle = new_handle();
    if (handle) contexts[handle];
    return handle;
  } catch (...) {
    return 0;  // no memory for a context
  }
}

int32_t Std_iCheckError_SYS(int32_t context) {
  return call_on(context, "Std_iCheckError_SYS", 0,
                 [](Context& c) { return !c.pending.empty() || c.pending_lost ? 1 : 0; });
}

void Std_ShowError_GEO(int32_t context) {
  try {
    std::string shown;
    GeoOppiErrorDisplay to = nullptr;
    void* user = nullptr;
    {
      std::lock_guard lock(guard);
      Context* c = context_of(context);
      if (!c || (c->pending.empty() && !c->pending_lost)) return;
      shown.swap(c->pending);
      if (c->pending_lost) shown += shown.empty() ? "not enough memory" : "\nnot enough memory";
      c->pending_lost = false;
      to = display;
      user = display_user;
    }
    if (to)
      to(shown.c_str(), user);
    else
      std::fprintf(stderr, "%s\n", shown.c_str());
  } catch (...) {
    // Nothing can be shown without memory; the host's display may not throw through here.
  }
}

void Std_Create_DB(int32_t context, const char* path, const int32_t*, const int32_t*, const int32_t*, const int32_t*,
                   const int32_t*, const char*, const char*) {
  call_on(context, "Std_Create_DB", 0, [&](Context& c) {
    const std::string file = text(path);
    if (const std::string refused = new_database_file(file); !refused.empty()) {
      fail(c, "Std_Create_DB: " + refused);
      return 0;
    }
    Database d;
    d.path = file;
    std::string sql = "PRAGMA page_size = 65536; BEGIN;";
    for (const Table& t : tables) sql += std::string(t.sql) + ";";
    sql += std::string(index_sql) + ";INSERT INTO oasis VALUES('" + format_marker + "');COMMIT;";
    const bool opened = sqlite3_open_v2(file.c_str(), &d.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW | no_mutex,
                                        nullptr) == SQLITE_OK;
    if (!opened) fail_on(c, d, "Std_Create_DB", d.db ? sqlite3_errmsg(d.db) : "cannot be created");
    const bool made = opened && run(c, d, sql.c_str(), "Std_Create_DB");
    sqlite3_close(d.db);
    if (!made) ::unlink(file.c_str());
    return 0;
  });
}

int32_t Std_Open_DB(int32_t context, const char* path, const char*, const char*) {
  return call_on(context, "Std_Open_DB", 0, [&](Context& c) {
    Database d;
    d.path = text(path);
    if (sqlite3_open_v2(d.path.c_str(), &d.db, SQLITE_OPEN_READWRITE | no_mutex, nullptr) != SQLITE_OK) {
      fail_on(c, d, "Std_Open_DB", d.db ? sqlite3_errmsg(d.db) : "cannot be opened");
      sqlite3_close(d.db);
      return 0;
    }
    distrust_file(d.db);
    if (const std::string why = not_oasis_reason(d.db); !why.empty()) {
      fail(c, "Std_Open_DB: " + d.path + " is not an Oasis database: " + why);
      sqlite3_close(d.db);
      return 0;
    }
    const int32_t handle = new_handle();
    if (!handle || !run(c, d, "BEGIN IMMEDIATE", "Std_Open_DB")) {
      if (!handle) fail_on(c, d, "Std_Open_DB", "no more handles");
      sqlite3_close(d.db);
      return 0;
    }
    c.databases[handle] = std::move(d);
    return handle;
  });
}

void Std_Commit_DB(int32_t context, const int32_t* database) {
  call_on(context, "Std_Commit_DB", 0, [&](Context& c) {
    if (Database* d = database_of(c, database, "Std_Commit_DB")) run(c, *d, "COMMIT; BEGIN IMMEDIATE", "Std_Commit_DB");
    return 0;
  });
}

void Std_Unjournaled_DB(int32_t context, const int32_t* database) {
  call_on(context, "Std_Unjournaled_DB", 0, [&](Context& c) {
    if (Database* d = database_of(c, database, "Std_Unjournaled_DB"))
      run(c, *d, "COMMIT; PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN IMMEDIATE", "Std_Unjournaled_DB");
    return 0;
  });
}

void Std_Destroy_DB(int32_t context, const int32_t* database) {
  call_on(context, "Std_Destroy_DB", 0, [&](Context& c) {
    // A broken database is closed too: its failure was reported when it broke.
    if (Database* d = open_database(c, database, "Std_Destroy_DB")) {
      close_database(*d);
      c.databases.erase(value(database));
    }
    return 0;
  });
}

int32_t Std_CreateSymb_DB(int32_t context, const int32_t* database, const char* name, const int32_t* type,
                          const int32_t* owner, const int32_t* category) {
  return call_on(context, "Std_CreateSymb_DB", 0, [&](Context& c) {
    Database* d = database_of(c, database, "Std_CreateSymb_DB");
    if (!d) return 0;
    const std::string symbol = text(name);
    const int32_t kind = value(type);
    const int32_t cat = value(category);
    const bool valid = kind == line_type ? (cat == 100 || cat == 200) : kind == channel_type && element_size(cat) > 0;
    if (symbol.empty() || !valid) {
      fail(c, "Std_CreateSymb_DB: symbol \"" + symbol + "\" of type " + std::to_string(kind) + " and category " +
                  std::to_string(cat) + " cannot be made");
      return 0;
    }
    const Kept find(*d, "SELECT id, category FROM symbol WHERE name = ? AND type = 2");
    sqlite3_bind_text(find.get(), 1, symbol.c_str(), -1, SQLITE_TRANSIENT);
    if (kind == channel_type && sqlite3_step(find.get()) == SQLITE_ROW) {
      const int32_t found = symbol_handle(sqlite3_column_int64(find.get(), 0));
      if (found && sqlite3_column_int64(find.get(), 1) == cat) return found;
      fail_on(c, *d, "Std_CreateSymb_DB", "\"" + symbol + "\" exists already as another channel");
      return 0;
    }
    const Kept insert(*d, "INSERT INTO symbol(name, type, category) VALUES(?, ?, ?)");
    sqlite3_bind_text(insert.get(), 1, symbol.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert.get(), 2, kind);
    sqlite3_bind_int(insert.get(), 3, cat);
    if (sqlite3_step(insert.get()) != SQLITE_DONE) {
      write_failed(c, *d, "Std_CreateSymb_DB");
      return 0;
    }
    (void)owner;
    const int32_t made = symbol_handle(sqlite3_last_insert_rowid(d->db));
    if (!made) fail_on(c, *d, "Std_CreateSymb_DB", "no symbol number is left for \"" + symbol + "\"");
    return made;
  });
}

int32_t Std_FindSymb_DB(int32_t context, const int32_t* database, const char* name, const int32_t* type) {
  return call_on(context, "Std_FindSymb_DB", 0, [&](Context& c) {
    Database* d = database_of(c, database, "Std_FindSymb_DB");
    if (!d) return 0;
    const Kept find(*d, "SELECT id FROM symbol WHERE name = ? AND type = ? AND id BETWEEN 1 AND 2147483647");
    sqlite3_bind_text(find.get(), 1, text(name).c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(find.get(), 2, value(type));
    if (sqlite3_step(find.get()) == SQLITE_ROW) return sqlite3_column_int(find.get(), 0);
    fail_on(c, *d, "Std_FindSymb_DB", "no symbol \"" + text(name) + "\" of type " + std::to_string(value(type)));
    return 0;
  });
}

void Std_LockSymb_DB(int32_t context, const int32_t* database, const int32_t* symbol, const int32_t*, const int32_t*) {
  call_on(context, "Std_LockSymb_DB", 0, [&](Context& c) {
    Database* d = database_of(c, database, "Std_LockSymb_DB");
    Symbol s;
    if (!d) return 0;
    if (!symbol_of(*d, value(symbol), s)) {
      fail_on(c, *d, "Std_LockSymb_DB", std::to_string(value(symbol)) + " is not a symbol");
      return 0;
    }
    d->locks.insert(value(symbol));
    return 0;
  });
}

void Std_UnLockSymb_DB(int32_t context, const int32_t* database, const int32_t* symbol) {
  call_on(context, "Std_UnLockSymb_DB", 0, [&](Context& c) {
    Database* d = database_of(c, database, "Std_UnLockSymb_DB");
    if (d && d->locks.erase(value(symbol)) == 0)
      fail_on(c, *d, "Std_UnLockSymb_DB", "symbol " + std::to_string(value(symbol)) + " is not locked");
    return 0;
  });
}

void Std_SetChanWidth_DB(int32_t context, const int32_t* database, const int32_t* channel, const int32_t* width) {
  set_channel_column(context, database, channel, "UPDATE symbol SET width = ? WHERE id = ?", "Std_SetChanWidth_DB",
                     value(width), nullptr);
}

void Std_SetChanDecimal_DB(int32_t context, const int32_t* database, const int32_t* channel, const int32_t* decimals) {
  set_channel_column(context, database, channel, "UPDATE symbol SET decimals = ? WHERE id = ?", "Std_SetChanDecimal_DB",
                     value(decimals), nullptr);
}

void Std_SetChanFormat_DB(int32_t context, const int32_t* database, const int32_t* channel, const int32_t* format) {
  set_channel_column(context, database, channel, "UPDATE symbol SET format = ? WHERE id = ?", "Std_SetChanFormat_DB",
                     value(format), nullptr);
}

void Std_SetChanUnit_DB(int32_t context, const int32_t* database, const int32_t* channel, const char* unit) {
  set_channel_column(context, database, channel, "UPDATE symbol SET unit = ? WHERE id = ?", "Std_SetChanUnit_DB", 0,
                     unit ? unit : "");
}

void Std_Associate_DB(int32_t context, const int32_t* database, const int32_t* line, const int32_t* channel) {
  call_on(context, "Std_Associate_DB", 0, [&](Context& c) {
    Database* d = database_of(c, database, "Std_Associate_DB");
    if (!d) return 0;
    Symbol l, ch;
    if (!symbol_of(*d, value(line), l) || l.type != line_type || !channel_of(*d, value(channel), ch)) {
      fail_on(c, *d, "Std_Associate_DB",
              std::to_string(value(line)) + " and " + std::to_string(value(channel)) + " are not a line and a channel");
      return 0;
    }
    const Kept st(*d, "INSERT OR IGNORE INTO association VALUES(?, ?)");
    sqlite3_bind_int(st.get(), 1, value(line));
    sqlite3_bind_int(st.get(), 2, value(channel));
    if (sqlite3_step(st.get()) != SQLITE_DONE) write_failed(c, *d, "Std_Associate_DB");
    return 0;
  });
}

int32_t Std_CreateExt_VV(int32_t context, const int32_t* type, const int32_t* length) {
  return call_on(context, "Std_CreateExt_VV", 0, [&](Context& c) {
    const int32_t t = value(type);
    const int32_t n = value(length);
    const int64_t element = t < 0 ? element_size(t) : (element_size(t) ? int64_t{sizeof(double)} : 0);
    if (element == 0 || n < 0 || n * element >= vector_bytes_limit) {
      fail(c, "Std_CreateExt_VV: no vector of type " + std::to_string(t) + " and length " + std::to_string(n) +
                  (element && n >= 0 ? ": it would take 2 GiB or more" : ""));
      return 0;
    }
    const int32_t handle = new_handle();
    if (!handle) {
      fail(c, "Std_CreateExt_VV: no more handles");
      return 0;
    }
    Vector v;
    v.type = t;
    v.length = static_cast<std::size_t>(n);
    c.vectors.emplace(handle, std::move(v));
    return handle;
  });
}

void Std_SetReal_VV(int32_t context, const int32_t* vector, const int32_t* index, const double* number) {
  call_on(context, "Std_SetReal_VV", 0, [&](Context& c) {
    Vector* v = vector_of(c, value(vector));
    const int32_t i = value(index);
    if (!v || v->type < 0 || i < 0 || static_cast<std::size_t>(i) >= v->length || !number) {
      fail(c, "Std_SetReal_VV: no number element " + std::to_string(i) + " in vector " + std::to_string(value(vector)));
      return 0;
    }
    make_elements(*v);
    v->reals[static_cast<std::size_t>(i)] = *number;
    return 0;
  });
}

void Std_SetString_VV(int32_t context, const int32_t* vector, const int32_t* index, const char* str) {
  call_on(context, "Std_SetString_VV", 0, [&](Context& c) {
    Vector* v = vector_of(c, value(vector));
    const int32_t i = value(index);
    if (!v || v->type >= 0 || i < 0 || static_cast<std::size_t>(i) >= v->length) {
      fail(c, "Std_SetString_VV: no text element " + std::to_string(i) + " in vector " + std::to_string(value(vector)));
      return 0;
    }
    make_elements(*v);
    const std::size_t width = static_cast<std::size_t>(-v->type);
    char* at = v->texts.data() + static_cast<std::size_t>(i) * width;
    const std::size_t n = str ? strnlen(str, width) : 0;
    std::memcpy(at, str ? str : "", n);
    std::memset(at + n, 0, width - n);
    return 0;
  });
}

void Std_SetRealRange_VV(int32_t context, const int32_t* vector, const int32_t* first, const int32_t* count,
                         const double* values) {
  call_on(context, "Std_SetRealRange_VV", 0, [&](Context& c) {
    Vector* v = range_of(c, "Std_SetRealRange_VV", vector, first, count, false, values);
    if (!v) return 0;
    if (!v->made && value(first) == 0 && static_cast<std::size_t>(value(count)) == v->length) {
      v->reals.assign(values, values + value(count));
      v->made = true;
      return 0;
    }
    make_elements(*v);
    std::copy_n(values, value(count), v->reals.begin() + value(first));
    return 0;
  });
}

void Std_SetStringRange_VV(int32_t context, const int32_t* vector, const int32_t* first, const int32_t* count,
                           const char* const* texts) {
  call_on(context, "Std_SetStringRange_VV", 0, [&](Context& c) {
    Vector* v = range_of(c, "Std_SetStringRange_VV", vector, first, count, true, texts);
    if (!v) return 0;
    make_elements(*v);
    const std::size_t width = static_cast<std::size_t>(-v->type);
    for (int32_t k = 0; k < value(count); ++k) {
      const char* str = texts[k];
      char* at = v->texts.data() + (static_cast<std::size_t>(value(first)) + static_cast<std::size_t>(k)) * width;
      const std::size_t n = str ? strnlen(str, width) : 0;
      std::memcpy(at, str ? str : "", n);
      std::memset(at + n, 0, width - n);
    }
    return 0;
  });
}

void Std_Destroy_VV(int32_t context, const int32_t* vector) {
  call_on(context, "Std_Destroy_VV", 0, [&](Context& c) {
    if (value(vector) == cached_vector_handle) cached_vector = nullptr;
    if (c.vectors.erase(value(vector)) == 0)
      fail(c, "Std_Destroy_VV: " + std::to_string(value(vector)) + " is not a vector");
    return 0;
  });
}

void Std_PutChanVV_DB(int32_t context, const int32_t* database, const int32_t* line, const int32_t* channel,
                      const int32_t* vector) {
  call_on(context, "Std_PutChanVV_DB", 0, [&](Context& c) {
    Database* d = database_of(c, database, "Std_PutChanVV_DB");
    if (!d) return 0;
    Symbol l, ch;
    if (!symbol_of(*d, value(line), l) || l.type != line_type) {
      fail_on(c, *d, "Std_PutChanVV_DB", std::to_string(value(line)) + " is not a line");
      return 0;
    }
    if (!locked_channel(c, *d, channel, "Std_PutChanVV_DB", ch)) return 0;
    const auto it = c.vectors.find(value(vector));
    if (it == c.vectors.end() || (it->second.type < 0) != (ch.category < 0)) {
      fail_on(c, *d, "Std_PutChanVV_DB",
              "vector " + std::to_string(value(vector)) + " does not fit channel \"" + ch.name + "\"");
      return 0;
    }
    Vector& v = it->second;
    // Checked before anything is allocated: SQLite keeps no value longer than its limit,
    // which is below 2 GiB.
    const std::size_t size = static_cast<std::size_t>(element_size(ch.category));
    const int64_t bytes = static_cast<int64_t>(v.length * size);
    const int64_t limit = sqlite3_limit(d->db, SQLITE_LIMIT_LENGTH, -1);
    if (bytes > limit) {
      fail_on(c, *d, "Std_PutChanVV_DB",
              "channel \"" + ch.name + "\" of line \"" + l.name + "\" would hold " + std::to_string(bytes) +
                  " bytes, more than the " + std::to_string(limit) + " a channel can hold");
      return 0;
    }
    make_elements(v);
    const std::span<const unsigned char> blob = packed(v, ch.category, size, d->packing);
    const Kept put(*d, "INSERT OR REPLACE INTO channel_data VALUES(?, ?, ?, ?)");
    if (!put) {
      fail_on(c, *d, "Std_PutChanVV_DB", sqlite3_errmsg(d->db));
      return 0;
    }
    sqlite3_stmt* st = put.get();
    sqlite3_bind_int(st, 1, value(line));
    sqlite3_bind_int(st, 2, value(channel));
    sqlite3_bind_int64(st, 3, static_cast<sqlite3_int64>(v.length));
    // A null pointer would bind NULL: an empty channel is an empty blob.
    if (blob.empty())
      sqlite3_bind_zeroblob(st, 4, 0);
    else
      sqlite3_bind_blob(st, 4, blob.data(), static_cast<int>(blob.size()), SQLITE_STATIC);
    if (sqlite3_step(st) != SQLITE_DONE) write_failed(c, *d, "Std_PutChanVV_DB");
    sqlite3_reset(st);  // lets go of the blob
    return 0;
  });
}

}  // extern "C"
