// The Oasis database export, read back with oasis-dump and set against the XYZ file.
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "dump_fixture.h"
#include "export/export_command.h"
#include "export/gx_library.h"
#include "export/oasis_writer.h"

using namespace corvane;
using namespace corvane::test;

namespace {

std::string run_dump(const std::string& file) {
  std::string out;
  FILE* p = popen((std::string(OASIS_DUMP) + " '" + file + "'").c_str(), "r");
  if (!p) return out;
  std::array<char, 4096> buf{};
  for (std::size_t n; (n = fread(buf.data(), 1, buf.size(), p)) > 0;) out.append(buf.data(), n);
  pclose(p);
  return out;
}

std::vector<std::string> fields(const std::string& line, char separator = '\t') {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, separator);) out.push_back(f);
  return out;
}

// The lines in order, each with its rows: X, Y, raw, base, corrected as texts ("*" for
// missing).
using Rows = std::vector<std::pair<std::string, std::vector<std::array<std::string, 5>>>>;

Rows xyz_rows(const std::string& text) {
  Rows rows;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (l.rfind("/Line ", 0) == 0) {
      const std::string name = l.substr(6);
      rows.emplace_back("L" + name.substr(std::min(name.size(), name.find_first_not_of(' '))),
                        std::vector<std::array<std::string, 5>>{});
    } else if (!l.empty() && l[0] != '/' && !rows.empty()) {
      std::istringstream row(l);
      std::array<std::string, 8> v;
      for (auto& f : v) row >> f;
      rows.back().second.push_back({v[1], v[2], v[3], v[4], v[5]});
    }
  }
  return rows;
}

Rows dump_rows(const std::string& text) {
  Rows rows;
  std::istringstream in(text);
  bool header = false;
  for (std::string l; std::getline(in, l);) {
    const auto f = fields(l);
    if (f.size() == 2 && f[0] == "data") {
      rows.emplace_back(f[1], std::vector<std::array<std::string, 5>>{});
      header = true;
    } else if (header) {
      header = false;
    } else if (!rows.empty()) {
      rows.back().second.push_back({f[1], f[2], f[3], f[4], f[5]});
    }
  }
  return rows;
}

bool agree(const std::string& xyz, const std::string& db) {
  if (xyz == "*" || db == "*") return xyz == db;
  // The XYZ file rounds to its formats ("0.0" for the field values).
  return std::fabs(std::stod(xyz) - std::stod(db)) <= 0.05 + 1e-6 * std::fabs(std::stod(db));
}

}  // namespace

class OasisTest : public ReaderTest {
protected:
  ExportRequest request;
  void SetUp() override {
    request.directory = dir.dir();
    request.base_field_text = "57000";
  }
  ExportResult save(const char* name, int index) {
    request.file_name_text = name;
    return command_save_data(model, request, index, op);
  }
};

TEST_F(OasisTest, TheSameBlocksAndValuesAsTheXyzFile) {
  const auto sample = [](const char* name) {
    std::ifstream in(std::string(CORVANE_SAMPLES_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  run({{"envimag_0709.dat", sample("envimag_0709.dat")}, {"mp2_0710.dat", sample("mp2_0710.dat")}});
  for (int options = 0; options < 8; ++options) {
    request.apply_corrections = options & 1;
    request.export_all = options & 2;
    request.export_base = options & 4;
    ASSERT_EQ(save("day.xyz", export_xyz_button), ExportResult::complete);
    ASSERT_EQ(save("day.gdb", export_oasis_button), ExportResult::complete) << options;
    const Rows xyz = xyz_rows(dir.read("day.xyz"));
    const Rows db = dump_rows(run_dump(dir.dir() + "/day.gdb"));
    ASSERT_GE(xyz.size(), 12u);
    ASSERT_EQ(xyz.size(), db.size()) << options;
    for (std::size_t n = 0; n < xyz.size(); ++n) {
      const auto& [line, rows] = xyz[n];
      ASSERT_EQ(db[n].first, line);
      const auto& other = db[n].second;
      ASSERT_EQ(rows.size(), other.size()) << line;
      for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < 5; ++c)
          EXPECT_TRUE(agree(rows[r][c], other[r][c]))
              << line << " row " << r << ": " << rows[r][c] << " " << other[r][c];
    }
    std::remove((dir.dir() + "/day.xyz").c_str());
    std::remove((dir.dir() + "/day.gdb").c_str());
  }
}

TEST_F(OasisTest, NoQualifyingBlockLeavesTheGroupLineAndChannels) {
  run_one(keyword_field_header("100N", "05/12/96") + "25 N 57321.4 0.1 14:03:07\n");  // one reading
  ASSERT_EQ(save("empty.gdb", export_oasis_button), ExportResult::complete);
  const std::string out = run_dump(dir.dir() + "/empty.gdb");
  EXPECT_EQ(
      out.rfind("line\tLine\t200\nchannel\tStation\t-24\t10\t-\t-\t-\tLine\nchannel\tX\t5\t10\t2\t-\tm\tLine\n", 0), 0u)
      << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 9);
  // A second export in the same run reuses the context.
  ASSERT_EQ(save("again.gdb", export_oasis_button), ExportResult::complete);
  EXPECT_EQ(op.messages.back().rfind("Export complete\r0 lines and 0 readings written to ", 0), 0u);
}

TEST_F(OasisTest, AMissingLibraryIsNamedAndTheOldFileStays) {
  run_one(keyword_field_header("100N", "05/12/96") + "25 N 57321.4 0.1 14:03:07\n0 N 57300 0.1 14:04:00\n");
  dir.write("old.gdb", "keep me");
  set_gx_library_name("libgeo_oppi_missing.so.1");
  EXPECT_EQ(save("old.gdb", export_oasis_button), ExportResult::failed);
  set_gx_library_name("libgeo_oppi.so.1");
  ASSERT_FALSE(op.messages.empty());
  EXPECT_NE(op.messages.back().find("libgeo_oppi_missing.so.1"), std::string::npos) << op.messages.back();
  EXPECT_EQ(dir.read("old.gdb"), "keep me");
}

// A new database on a disk that fills up: SQLite drops the export's transaction at the
// first page it cannot write, so the export stops there with one message naming the file
// and the reason, and leaves no file behind.
TEST_F(OasisTest, AFullDiskStopsANewDatabaseAtTheFirstFailureAndLeavesNoFile) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small disk needs root";
  const std::string disk = dir.dir() + "/disk";
  ::mkdir(disk.c_str(), 0755);
  if (::mount("corvane-test", disk.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "no tmpfs: " << std::strerror(errno);
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{disk};
  // About 4 MB of channel data, twice SQLite's page cache: pages are written mid-export.
  std::string day;
  for (int line = 0; line < 300; ++line) {
    day += keyword_field_header(std::to_string(line * 10) + "N", "05/12/96");
    for (int station = 0; station < 250; ++station)
      day += std::to_string(station) + " N 57321.4 0.1 14:" + std::to_string(10 + station / 60) + ":" +
             std::to_string(10 + station % 50) + "\n";
  }
  run_one(day);
  request.directory = disk;
  request.apply_corrections = false;
  op.messages.clear();
  EXPECT_EQ(save("day.gdb", export_oasis_button), ExportResult::failed);
  ASSERT_EQ(op.messages.size(), 1u);
  EXPECT_NE(op.messages[0].find(disk + "/day.gdb: database or disk is full"), std::string::npos) << op.messages[0];
  EXPECT_EQ(op.messages[0].find('\n'), std::string::npos) << op.messages[0];
  EXPECT_TRUE(std::filesystem::is_empty(disk));
}

TEST(OasisValuesTest, StationTextsDatesAndTimes) {
  EXPECT_EQ(station_text(-25, 'N'), "     -25.0W");
  EXPECT_EQ(station_text(25, 'E'), "      25.0N");
  EXPECT_EQ(station_text(0, 'N'), "       0.0E");
  EXPECT_EQ(station_text(-0.04f, 'S'), "      -0.0S");
  struct Case {
    double t;
    double year, hours;
  } cases[] = {
      {at(1996, 1, 1, 23, 59, 59), 1996, 23 + (59 + 59.0 / 60) / 60},
      {at(1996, 12, 31, 0, 0, 0), 1996 + 365.0 / 366, 0},
      {at(1996, 5, 12, 14, 3, 7), 1996 + 132.0 / 366, 14 + (3 + 7.0 / 60) / 60},
      {at(1997, 12, 31, 12, 0, 0), 1997 + 364.0 / 365, 12},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decimal_year(c.t), c.year);
    EXPECT_EQ(decimal_hours(c.t), c.hours);
  }
}

// The database is written without syncs: a replacement is synced before it takes the old
// file's place, and one that cannot be synced leaves the old file.
TEST_F(OasisTest, AReplacementThatCannotBeSyncedLeavesTheOldFile) {
  run_one(keyword_field_header("100N", "05/12/96") + "25 N 57321.4 0.1 14:03:07\n50 N 57322.0 0.1 14:03:30\n");
  dir.write("old.gdb", "keep me");
  op.answers = {true};  // replace it
  const ExportFileCalls real = export_file_calls();
  export_file_calls() = {real.write, [](int) { return errno = EIO, -1; }, real.close, real.open};
  const ExportResult result = save("old.gdb", export_oasis_button);
  export_file_calls() = real;
  EXPECT_EQ(result, ExportResult::failed);
  EXPECT_EQ(dir.read("old.gdb"), "keep me");
  op.answers = {true};
  EXPECT_EQ(save("old.gdb", export_oasis_button), ExportResult::complete);
  EXPECT_NE(dir.read("old.gdb"), "keep me");
}
