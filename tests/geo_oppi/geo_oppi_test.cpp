// The GX database library through its C interface, read back with oasis-dump.
#include "geo_oppi/geo_oppi.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Dump {
  int code = -1;
  std::string out;
};

// oasis-dump's messages and output (unless `redirect` sends it elsewhere); stopped after
// 30 s, which fails the test.
Dump dump(const fs::path& file, const char* redirect = "") {
  const std::string cmd = "timeout 30 " + std::string(OASIS_DUMP) + " '" + file.string() + "' 2>&1" + redirect;
  Dump d;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return d;
  std::array<char, 4096> buf{};
  for (std::size_t n; (n = fread(buf.data(), 1, buf.size(), p)) > 0;) d.out.append(buf.data(), n);
  const int status = pclose(p);
  d.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return d;
}

// A context and a folder; shown errors are kept.
struct Gx : ::testing::Test {
  fs::path dir = fs::temp_directory_path() / ("geo_oppi_test_" + std::to_string(getpid()));
  std::vector<std::string> shown;
  int32_t ctx = 0;
  int32_t one = 1, two = 2, zero = 0, line_cat = 100, group_cat = 200;

  void SetUp() override {
    fs::create_directories(dir);
    GeoOppi_SetErrorDisplay([](const char* text, void* user) { static_cast<Gx*>(user)->shown.push_back(text); }, this);
    ctx = Std_Create_GEO("Sandrow", "V1.0", &zero, nullptr);
    ASSERT_GT(ctx, 0);
  }
  void TearDown() override {
    GeoOppi_SetErrorDisplay(nullptr, nullptr);
    fs::remove_all(dir);
  }
  int32_t open(const fs::path& file) {
    Std_Create_DB(ctx, file.c_str(), &zero, &zero, &zero, &zero, &zero, "SUPER", "");
    return Std_Open_DB(ctx, file.c_str(), "SUPER", "");
  }
  int32_t channel(int32_t db, const char* name, int32_t type) {
    const int32_t ch = Std_CreateSymb_DB(ctx, &db, name, &two, &zero, &type);
    Std_LockSymb_DB(ctx, &db, &ch, &one, &zero);
    return ch;
  }
  int32_t vector(int32_t type, const std::vector<double>& values) {
    const int32_t n = static_cast<int32_t>(values.size());
    const int32_t v = Std_CreateExt_VV(ctx, &type, &n);
    // The first element alone, the rest as one range.
    const int32_t zero_at = 0, rest = n - 1, second = 1;
    if (n > 0) Std_SetReal_VV(ctx, &v, &zero_at, &values[0]);
    if (n > 1) Std_SetRealRange_VV(ctx, &v, &second, &rest, &values[1]);
    return v;
  }
  // Expects an error pending, shows it and returns its text.
  std::string error() {
    EXPECT_NE(Std_iCheckError_SYS(ctx), 0);
    shown.clear();
    Std_ShowError_GEO(ctx);
    EXPECT_EQ(Std_iCheckError_SYS(ctx), 0);
    return shown.empty() ? std::string() : shown[0];
  }
};

TEST_F(Gx, ADatabaseReadsBackInTheChannelsTypes) {
  const fs::path file = dir / "day.gdb";
  int32_t db = open(file);
  ASSERT_GT(db, 0);
  const int32_t group = Std_CreateSymb_DB(ctx, &db, "Line", &one, &zero, &group_cat);
  const int32_t station = channel(db, "Station", -24);
  const int32_t raw = channel(db, "Raw_mag", 4);
  const int32_t time = channel(db, "Time", 5);
  int32_t width = 10, decimals = 1, format = 2;
  Std_SetChanWidth_DB(ctx, &db, &station, &width);
  Std_SetChanDecimal_DB(ctx, &db, &raw, &decimals);
  Std_SetChanFormat_DB(ctx, &db, &time, &format);
  Std_SetChanUnit_DB(ctx, &db, &raw, "nT");
  for (int32_t ch : {station, raw, time}) Std_Associate_DB(ctx, &db, &group, &ch);
  const int32_t line = Std_CreateSymb_DB(ctx, &db, "L100N", &one, &zero, &line_cat);
  int32_t text_type = -24, n = 3;
  const int32_t names = Std_CreateExt_VV(ctx, &text_type, &n);
  for (int32_t i : {0, 2}) Std_SetString_VV(ctx, &names, &i, i == 0 ? "     -25.0W" : "      25.0N");
  const int32_t values = vector(5, {1.0 / 3, -1e32, 57000.1});
  Std_PutChanVV_DB(ctx, &db, &line, &station, &names);
  Std_PutChanVV_DB(ctx, &db, &line, &raw, &values);
  Std_PutChanVV_DB(ctx, &db, &line, &time, &values);
  // A narrower text vector is padded to the channel's width; an empty line holds no values.
  const int32_t l200 = Std_CreateSymb_DB(ctx, &db, "L200N", &one, &zero, &line_cat);
  const int32_t l300 = Std_CreateSymb_DB(ctx, &db, "L300N", &one, &zero, &line_cat);
  int32_t short_text = -8, one_element = 1, raw_type = 5;
  const int32_t short_names = Std_CreateExt_VV(ctx, &short_text, &one_element);
  Std_SetString_VV(ctx, &short_names, &zero, "12345678");
  const int32_t single = vector(5, {2.5}), empty = vector(5, {});
  int32_t no_elements = 0;
  const int32_t no_names = Std_CreateExt_VV(ctx, &text_type, &no_elements);
  Std_PutChanVV_DB(ctx, &db, &l200, &station, &short_names);
  Std_PutChanVV_DB(ctx, &db, &l300, &station, &no_names);
  // An element never set is missing.
  const int32_t unset = Std_CreateExt_VV(ctx, &raw_type, &one_element);
  Std_PutChanVV_DB(ctx, &db, &l200, &raw, &single);
  Std_PutChanVV_DB(ctx, &db, &l200, &time, &unset);
  for (int32_t ch : {raw, time}) Std_PutChanVV_DB(ctx, &db, &l300, &ch, &empty);
  for (int32_t v : {names, values, short_names, single, empty, no_names, unset}) Std_Destroy_VV(ctx, &v);
  Std_Commit_DB(ctx, &db);
  Std_Destroy_DB(ctx, &db);
  ASSERT_EQ(Std_iCheckError_SYS(ctx), 0) << error();
  const Dump d = dump(file);
  EXPECT_EQ(d.code, 0);
  EXPECT_EQ(d.out,
            "line\tLine\t200\n"
            "line\tL100N\t100\n"
            "line\tL200N\t100\n"
            "line\tL300N\t100\n"
            "channel\tStation\t-24\t10\t-\t-\t-\tLine\n"
            "channel\tRaw_mag\t4\t-\t1\t-\tnT\tLine\n"
            "channel\tTime\t5\t-\t-\t2\t-\tLine\n"
            "data\tL100N\n"
            "Station\tRaw_mag\tTime\n"
            "\"     -25.0W\"\t0.33333334\t0.3333333333333333\n"
            "\"\"\t*\t*\n"
            "\"      25.0N\"\t57000.1\t57000.1\n"
            "data\tL200N\n"
            "Station\tRaw_mag\tTime\n"
            "\"12345678\"\t2.5\t*\n"
            "data\tL300N\n"
            "Station\tRaw_mag\tTime\n");
}

TEST_F(Gx, MistakesLeaveAnErrorPendingAndChangeNothing) {
  const fs::path file = dir / "mistakes.gdb";
  int32_t db = open(file);
  int32_t bad = 999;
  int32_t single = 4;
  const int32_t raw = Std_CreateSymb_DB(ctx, &db, "Raw", &two, &zero, &single);
  const int32_t line = Std_CreateSymb_DB(ctx, &db, "L1", &one, &zero, &line_cat);
  int32_t width = 10, index = 3, text_type = -8, length = 2;
  double x = 1;
  const int32_t numbers = vector(5, {1, 2});
  const int32_t texts = Std_CreateExt_VV(ctx, &text_type, &length);
  struct Case {
    const char* what;
    std::function<void()> call;
  } cases[] = {
      {"an unknown database", [&] { Std_Commit_DB(ctx, &bad); }},
      {"a change without the lock", [&] { Std_SetChanWidth_DB(ctx, &db, &raw, &width); }},
      {"data without the lock", [&] { Std_PutChanVV_DB(ctx, &db, &line, &raw, &numbers); }},
      {"an index out of range", [&] { Std_SetReal_VV(ctx, &numbers, &index, &x); }},
      {"a number into a text vector", [&] { Std_SetReal_VV(ctx, &texts, &zero, &x); }},
      {"a range past the end", [&] { Std_SetRealRange_VV(ctx, &numbers, &one, &length, &x); }},
      {"texts into a number vector",
       [&] {
         const char* text = "a";
         Std_SetStringRange_VV(ctx, &numbers, &zero, &one, &text);
       }},
      {"a missing symbol", [&] { Std_FindSymb_DB(ctx, &db, "Nothing", &two); }},
      {"a channel as a line", [&] { Std_Associate_DB(ctx, &db, &raw, &raw); }},
      {"an unknown vector", [&] { Std_Destroy_VV(ctx, &bad); }},
      {"an unknown element type", [&] { Std_CreateExt_VV(ctx, &bad, &length); }},
      {"a file that exists", [&] { Std_Create_DB(ctx, file.c_str(), &zero, &zero, &zero, &zero, &zero, "", ""); }},
  };
  for (const Case& c : cases) {
    c.call();
    EXPECT_FALSE(error().empty()) << c.what;
  }
  Std_LockSymb_DB(ctx, &db, &raw, &one, &zero);
  Std_PutChanVV_DB(ctx, &db, &line, &raw, &texts);  // texts into a number channel
  EXPECT_FALSE(error().empty());
  EXPECT_EQ(Std_Create_GEO("", "", &zero, nullptr), 0);
  EXPECT_EQ(Std_iCheckError_SYS(12345), 0);  // an unknown context has nothing pending
  Std_ShowError_GEO(12345);
  Std_Destroy_DB(ctx, &db);

  const fs::path text = dir / "notes.txt";
  std::ofstream(text) << "not a database\n";
  EXPECT_EQ(Std_Open_DB(ctx, text.c_str(), "SUPER", ""), 0);
  EXPECT_NE(error().find("notes.txt"), std::string::npos);
  const Dump d = dump(text);
  EXPECT_EQ(d.code, 1);
  EXPECT_NE(d.out.find("is not an Oasis database"), std::string::npos);
}

// A process killed after its first commit leaves a database holding that commit.
TEST_F(Gx, AKilledWriterLeavesTheLastCommit) {
  const fs::path file = dir / "killed.gdb";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int32_t db = open(file);
    const int32_t raw = channel(db, "Raw", 5);
    for (const char* name : {"L1", "L2"}) {
      const int32_t line = Std_CreateSymb_DB(ctx, &db, name, &one, &zero, &line_cat);
      const int32_t v = vector(5, {1, 2});
      Std_PutChanVV_DB(ctx, &db, &line, &raw, &v);
      if (name[1] == '1') Std_Commit_DB(ctx, &db);
    }
    raise(SIGKILL);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  const Dump d = dump(file);
  EXPECT_EQ(d.code, 0);
  EXPECT_EQ(d.out, "line\tL1\t100\nchannel\tRaw\t5\t-\t-\t-\t-\t-\ndata\tL1\nRaw\n1\n2\n");
  int32_t db = Std_Open_DB(ctx, file.c_str(), "SUPER", "");
  EXPECT_GT(db, 0);
  Std_Destroy_DB(ctx, &db);
}

// Files changed by hand so that trusting them would print without end, run a view
// without end or allocate gigabytes: each is refused, naming the file and the reason.
TEST_F(Gx, OasisDumpRefusesHostileFilesAndSaysWhenItCannotWrite) {
  struct Case {
    const char* name;
    const char* sql;
    const char* reason;
  } cases[] = {
      {"negative.gdb", "UPDATE channel_data SET count = -1", "holds 16 bytes, not -1 elements of type 5"},
      {"endless.gdb", "UPDATE channel_data SET count = 9000000000000000000",
       "holds 16 bytes, not 9000000000000000000 elements"},
      {"recursive.gdb",
       "DROP TABLE symbol; CREATE VIEW symbol AS WITH RECURSIVE n(id) AS (SELECT 1 UNION ALL SELECT id + 1 FROM n)"
       " SELECT id, 'L' AS name, 1 AS type, 100 AS category, 0 AS width, 0 AS decimals, 0 AS format, '' AS unit FROM n",
       "no table symbol as the library makes it"},
      {"huge.gdb",
       "DROP TABLE channel_data; CREATE VIEW channel_data AS SELECT 1 AS line, 2 AS channel, 250000000 AS count,"
       " zeroblob(2000000000) AS data",
       "no table channel_data as the library makes it"},
  };
  for (const Case& c : cases) {
    const fs::path file = dir / c.name;
    int32_t db = open(file);
    const int32_t line = Std_CreateSymb_DB(ctx, &db, "L1", &one, &zero, &line_cat);
    const int32_t raw = channel(db, "Raw", 5);
    const int32_t v = vector(5, {1, 2});
    Std_PutChanVV_DB(ctx, &db, &line, &raw, &v);
    Std_Destroy_VV(ctx, &v);
    Std_Commit_DB(ctx, &db);
    Std_Destroy_DB(ctx, &db);
    sqlite3* edit = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &edit), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(edit, c.sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(edit);
    sqlite3_close(edit);
    const Dump d = dump(file);
    EXPECT_EQ(d.code, 1) << c.name;
    EXPECT_NE(d.out.find("oasis-dump: " + file.string() + " is not an Oasis database: "), std::string::npos) << d.out;
    EXPECT_NE(d.out.find(c.reason), std::string::npos) << d.out;
  }
  EXPECT_EQ(Std_iCheckError_SYS(ctx), 0) << error();

  const fs::path file = dir / "full.gdb";
  int32_t db = open(file);
  Std_CreateSymb_DB(ctx, &db, "L1", &one, &zero, &line_cat);
  Std_Commit_DB(ctx, &db);
  Std_Destroy_DB(ctx, &db);
  const Dump full = dump(file, " >/dev/full");
  EXPECT_EQ(full.code, 4);
  EXPECT_EQ(full.out, "oasis-dump: the output could not be written: No space left on device\n");
}

}  // namespace
