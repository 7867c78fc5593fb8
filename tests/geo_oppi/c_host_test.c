/* The GX library from a host written in C, as such a host links it: careless calls and
 * files changed by hand must each leave an error pending and the host running (a C host
 * cannot catch anything the library might throw). One line per case; exit status 1 when
 * any case failed. */
#include <limits.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "geo_oppi/geo_oppi.h"

static int32_t ctx;
static int32_t zero = 0, one = 1, two = 2, line_category = 100;
static char folder[] = "/tmp/geo_oppi_c_host_XXXXXX";
static char shown[4096];

static void keep(const char* text, void* user) {
  (void)user;
  snprintf(shown, sizeof shown, "%s", text);
}

/* The pending error, shown and cleared; "" when none is pending. */
static const char* pending(void) {
  shown[0] = '\0';
  if (Std_iCheckError_SYS(ctx)) Std_ShowError_GEO(ctx);
  return shown;
}

static const char* in_folder(const char* name) {
  static char path[4][512];
  static int next = 0;
  char* p = path[next++ % 4];
  snprintf(p, sizeof path[0], "%s/%s", folder, name);
  return p;
}

static int run_sql(const char* file, const char* sql, const char* bound) {
  sqlite3* db = NULL;
  sqlite3_stmt* st = NULL;
  int ok = sqlite3_open(file, &db) == SQLITE_OK && sqlite3_exec(db, "PRAGMA writable_schema = ON", 0, 0, 0) == 0;
  if (ok && bound) {
    ok = sqlite3_prepare_v2(db, sql, -1, &st, NULL) == SQLITE_OK &&
         sqlite3_bind_text(st, 1, bound, -1, SQLITE_TRANSIENT) == SQLITE_OK && sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
  } else if (ok) {
    ok = sqlite3_exec(db, sql, 0, 0, 0) == SQLITE_OK;
  }
  sqlite3_close(db);
  return ok;
}

/* Runs `change` on `table` with its NOT NULL constraints lifted, then puts the table's
 * schema back as it was: a file the library could not have written, looking like one it
 * did. Each step on a connection of its own, so that the schema is read afresh. */
static int with_nulls(const char* file, const char* table, const char* change) {
  char sql[512], original[512] = "";
  sqlite3* db = NULL;
  sqlite3_stmt* st = NULL;
  snprintf(sql, sizeof sql, "SELECT sql FROM sqlite_schema WHERE name = '%s'", table);
  if (sqlite3_open(file, &db) == SQLITE_OK && sqlite3_prepare_v2(db, sql, -1, &st, NULL) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    snprintf(original, sizeof original, "%s", (const char*)sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  sqlite3_close(db);
  snprintf(sql, sizeof sql, "UPDATE sqlite_schema SET sql = replace(sql, ' NOT NULL', '') WHERE name = '%s'", table);
  if (!original[0] || !run_sql(file, sql, NULL) || !run_sql(file, change, NULL)) return 0;
  snprintf(sql, sizeof sql, "UPDATE sqlite_schema SET sql = ? WHERE name = '%s'", table);
  return run_sql(file, sql, original);
}

/* A new database at `name` holding line L1 and channel Raw of `type`, committed; open when
 * `db` is given. */
static int day(const char* name, int32_t type, int32_t* db) {
  const char* file = in_folder(name);
  int32_t d, line, channel;
  Std_Create_DB(ctx, file, &zero, &zero, &zero, &zero, &zero, "SUPER", "");
  d = Std_Open_DB(ctx, file, "SUPER", "");
  line = Std_CreateSymb_DB(ctx, &d, "L1", &one, &zero, &line_category);
  channel = Std_CreateSymb_DB(ctx, &d, "Raw", &two, &zero, &type);
  Std_Commit_DB(ctx, &d);
  if (db)
    *db = d;
  else
    Std_Destroy_DB(ctx, &d);
  return line > 0 && channel > 0 && !*pending();
}

static const char* null_marker(void) {
  const char* file = in_folder("marker.gdb");
  if (!day("marker.gdb", 5, NULL) || !with_nulls(file, "oasis", "UPDATE oasis SET format = NULL"))
    return "the file could not be made";
  if (Std_Open_DB(ctx, file, "SUPER", "") != 0) return "opened";
  return strstr(pending(), file) ? NULL : "no error naming the file";
}

static const char* null_symbol_name(void) {
  const char* file = in_folder("name.gdb");
  int32_t db, line = 1, raw = 2, width = 8, n = 2, type = 5, vector;
  if (!day("name.gdb", 5, NULL) || !with_nulls(file, "symbol", "UPDATE symbol SET name = NULL WHERE type = 2"))
    return "the file could not be made";
  db = Std_Open_DB(ctx, file, "SUPER", "");
  vector = Std_CreateExt_VV(ctx, &type, &n);
  Std_PutChanVV_DB(ctx, &db, &line, &raw, &vector);
  if (!*pending()) return "data put in an unlocked channel";
  Std_LockSymb_DB(ctx, &db, &raw, &one, &zero);
  Std_SetChanWidth_DB(ctx, &db, &raw, &width);
  Std_PutChanVV_DB(ctx, &db, &line, &raw, &vector);
  Std_Commit_DB(ctx, &db);
  Std_Destroy_DB(ctx, &db);
  Std_Destroy_VV(ctx, &vector);
  return *pending() ? shown : NULL;
}

static const char* huge_vector(void) {
  int32_t type = -1024, length = INT32_MAX;
  if (Std_CreateExt_VV(ctx, &type, &length) != 0) return "made";
  return *pending() ? NULL : "no error";
}

/* 2^21 one-byte texts into a channel of 1024-byte texts: exactly 2 GiB, refused before
 * any of it is allocated. */
static const char* channel_of_2_gib(void) {
  int32_t db, line = 1, channel = 2, type = -1, length = 1 << 21, vector;
  if (!day("wide.gdb", -1024, &db)) return "the file could not be made";
  vector = Std_CreateExt_VV(ctx, &type, &length);
  Std_LockSymb_DB(ctx, &db, &channel, &one, &zero);
  Std_PutChanVV_DB(ctx, &db, &line, &channel, &vector);
  const int refused = strstr(pending(), "2147483648 bytes") != NULL;
  Std_Commit_DB(ctx, &db);
  Std_Destroy_DB(ctx, &db);
  Std_Destroy_VV(ctx, &vector);
  if (!refused) return "not refused";
  return *pending() ? shown : NULL;
}

static const char* dangling_link(void) {
  const char* target = in_folder("nowhere.gdb");
  const char* link = in_folder("link.gdb");
  if (symlink(target, link) != 0) return "no link";
  Std_Create_DB(ctx, link, &zero, &zero, &zero, &zero, &zero, "SUPER", "");
  if (access(target, F_OK) == 0) return "the link's target was made";
  return strstr(pending(), "symbolic link") ? NULL : "no error naming the link";
}

static const char* endless_view(void) {
  const char* file = in_folder("view.gdb");
  if (!day("view.gdb", 5, NULL) ||
      !run_sql(file,
               "DROP TABLE symbol; CREATE VIEW symbol AS WITH RECURSIVE n(id) AS (SELECT 1 UNION ALL SELECT id + 1 "
               "FROM n) SELECT id, 'L' AS name, 2 AS type, 5 AS category, 0 AS width, 0 AS decimals, 0 AS format, "
               "'' AS unit FROM n",
               NULL))
    return "the file could not be made";
  if (Std_Open_DB(ctx, file, "SUPER", "") != 0) return "opened";
  return strstr(pending(), "no table symbol") ? NULL : "no error naming the table";
}

int main(void) {
  static const struct {
    const char* name;
    const char* (*run)(void);
  } cases[] = {
      {"a NULL format marker", null_marker},       {"a NULL channel name", null_symbol_name},
      {"a vector of 2 TiB", huge_vector},          {"a channel of 2 GiB", channel_of_2_gib},
      {"a dangling symbolic link", dangling_link}, {"an endless view for a table", endless_view},
  };
  int failed = 0;
  char command[600];
  if (!mkdtemp(folder)) return 1;
  GeoOppi_SetErrorDisplay(keep, NULL);
  ctx = Std_Create_GEO("Sandrow", "V1.0", &zero, NULL);
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const char* why = cases[i].run();
    printf("%s %s%s%s\n", why ? "FAIL" : "ok  ", cases[i].name, why ? ": " : "", why ? why : "");
    failed |= why != NULL;
  }
  snprintf(command, sizeof command, "rm -rf '%s'", folder);
  if (system(command) != 0) failed = 1;
  return failed;
}
