#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <sstream>

#include "correction/base_match.h"
#include "dump_fixture.h"
#include "export/export_command.h"
#include "export/export_core.h"
#include "export/gx_library.h"
#include "export/xyz_writer.h"
#include "util/text.h"

using namespace corvane;
using namespace corvane::test;

namespace {

const std::string hyphens = "/ " + std::string(84, '-');
const std::string titles = "/      Line          X          Y    Raw_mag   Base_mag   Corr_mag       Date     Time";
const std::string rule = "/========== ========== ========== ========== ========== ========== ========== ========";

std::vector<std::string> head(const std::string& base_value, const std::string& date = "12/08/2026") {
  return {hyphens, "/ XYZ EXPORT [" + date + "]",     hyphens, "/", titles, rule,
          "/",     "/ Base Mag Value: " + base_value, "/"};
}

std::vector<std::string> crlf_lines(const std::string& bytes) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      out.push_back("<no CR LF>" + bytes.substr(start));
      break;
    }
    out.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

class ExportTest : public ReaderTest {
protected:
  const double today = day_number(days_from_civil(2026, 12, 8) * seconds_per_day);
  ExportRequest request;

  void SetUp() override {
    request.file_name_text = "out.xyz";
    request.directory = dir.dir();
    request.base_field_text = "57000";
  }
  ExportResult save(int index = export_xyz_button) {
    op.events.clear();
    op.messages.clear();
    return command_save_data(model, request, index, op, today);
  }
  std::vector<std::string> output() const { return crlf_lines(dir.read("out.xyz")); }
  // The completion message of an export to `name` in the test's folder.
  std::string complete(const std::string& counts, const std::string& name = "out.xyz") const {
    return "Export complete\r" + counts + " written to " + dir.dir() + "/" + name;
  }

  // A field line 100N with a base session around it, as most tests need.
  std::string day() const {
    return keyword_base_header("05/12/96", "10 MIN") + "14:00:00 57310.2 0.0 0.0\n" +
           keyword_field_header("100N", "05/12/96") +
           "25 N 57321.4 0.1 14:03:07\n"
           "50 N 57330.0 0.1 14:12:00\n"
           "-25 N 57300.0 0.1 13:59:59\n"  // before the base session
           "75 N 57290.0 0.1 14:20:00\n"   // exactly at its last reading
           "0 N 57299.5 0.1 14:00:00\n";   // exactly at its first reading
  }
};

TEST_F(ExportTest, CorrectedRowsByteForByte) {
  run_one(day());
  ASSERT_EQ(save(), ExportResult::complete);
  const std::vector<std::string> expected =
      head("57000.00") + std::vector<std::string>{
                             "/Line       100N",
                             "      100.0      -25.0      100.0    57300.0          *          * 1996/05/12 13:59:59",
                             "      100.0        0.0      100.0    57299.5    57310.2    56989.3 1996/05/12 14:00:00",
                             "      100.0       25.0      100.0    57321.4    57310.2    57011.2 1996/05/12 14:03:07",
                             "      100.0       50.0      100.0    57330.0    57310.2    57019.8 1996/05/12 14:12:00",
                             "      100.0       75.0      100.0    57290.0    57310.2    56979.8 1996/05/12 14:20:00"};
  EXPECT_EQ(output(), expected);
  for (const auto& line : output())
    if (line[0] != '/') {
      EXPECT_EQ(line.size(), 86u) << line;
    }
  EXPECT_EQ(op.messages, std::vector<std::string>{complete("1 line and 5 readings")});
  EXPECT_EQ(op.events,
            (std::vector<std::string>{"busy 1", "status 2: Line 100N", "status 3: Num Data 5", "status 4: Total 5",
                                      "busy 0", "message: " + complete("1 line and 5 readings"), "busy 0",
                                      "status 1: ", "status 2: ", "status 3: ", "status 4: "}));
}

TEST_F(ExportTest, InterpolatedBaseAndTheOffset) {
  run_one(keyword_base_header("05/12/96", "60") + "10:00:00 58005.0 10.0\n" + keyword_field_header("0E", "05/12/96") +
          "100 N 58100.0 0 10:00:30\n200 N 58100.0 0 10:01:00\n");
  request.base_field_text = "50000";
  ASSERT_EQ(save(), ExportResult::complete);
  const auto lines = output();
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[10], "        0.0        0.0      100.0    58100.0    58010.0    50090.0 1996/05/12 10:00:30");
  EXPECT_EQ(lines[11], "        0.0        0.0      200.0    58100.0    58015.0    50085.0 1996/05/12 10:01:00");
}

TEST_F(ExportTest, WhichBlocksAreWritten) {
  run_one(day() + keyword_field_header("200N", "05/12/96") + "0 N 1.0 0 09:00:00\n10 N 2.0 0 09:01:00\n" +  // no base
          keyword_field_header("300N", "05/12/96") + "0 N 1.0 0 14:01:00\n" +                       // one reading
          keyword_field_header("400N", "05/12/96") + "0 N 5.0 0 14:01:00\n10 N 6.0 0 14:02:00\n");  // unticked
  set_node_checked(model, block(5).node, false);
  auto block_lines = [&] {
    std::vector<std::string> out;
    for (const auto& l : output())
      if (l.rfind("/Line", 0) == 0) out.push_back(l);
    return out;
  };
  ASSERT_EQ(save(), ExportResult::complete);
  EXPECT_EQ(block_lines(), std::vector<std::string>{"/Line       100N"});

  std::filesystem::remove(dir.path() / "out.xyz");
  request.export_all = true;
  ASSERT_EQ(save(), ExportResult::complete);
  EXPECT_EQ(block_lines(), (std::vector<std::string>{"/Line       100N", "/Line       200N"}));
  // Without a base block: "*" for base, corr equal to raw, no offset.
  EXPECT_EQ(output().back(), "      200.0       10.0      200.0        2.0          *        2.0 1996/05/12 09:01:00");

  std::filesystem::remove(dir.path() / "out.xyz");
  request.export_all = false;
  request.apply_corrections = false;
  request.export_base = true;
  ASSERT_EQ(save(), ExportResult::complete);
  EXPECT_EQ(block_lines(), (std::vector<std::string>{"/Line        BS1", "/Line       100N", "/Line       200N"}));
  const auto lines = output();
  // A base block: "*" for raw, the reading in base and corr, position 0 and the
  // coordinate of "BS1" (the value of "BS", 0).
  EXPECT_EQ(lines[10], "        0.0        0.0        0.0          *    57310.2    57310.2 1996/05/12 14:00:00");
  // Uncorrected: base all "*", corr equal to raw.
  EXPECT_EQ(lines[14], "      100.0      -25.0      100.0    57300.0          *    57300.0 1996/05/12 13:59:59");
}

TEST_F(ExportTest, NothingToWriteLeavesTheHeadOnly) {
  run_one(keyword_field_header("300N", "05/12/96") + "0 N 1.0 0 14:01:00\n");
  request.export_all = true;
  request.base_field_text = " -12.345 ";
  ASSERT_EQ(save(), ExportResult::complete);
  EXPECT_EQ(output(), head("-12.35"));
  EXPECT_EQ(op.messages, std::vector<std::string>{complete("0 lines and 0 readings")});
}

TEST_F(ExportTest, LineDirectionsAndCoordinates) {
  std::string text;
  for (const char* line : {"100N", "250E", "100S", "75.5W", "N"})
    text += keyword_field_header(line, "05/12/96") + "10 N 1.0 0 09:00:00\n20 S 2.0 0 09:01:00\n";
  // Keyword headers upper-case the line name; a fixed-column header keeps it as written.
  text += fixed_field_header("100n", "05/12/96") + fixed_field_line("000010N", "1.0", "09:00:00") + "\n" +
          fixed_field_line("000020S", "2.0", "09:01:00") + "\n";
  run_one(text);
  ASSERT_EQ(block(6).line, "100n");
  request.apply_corrections = false;
  ASSERT_EQ(save(), ExportResult::complete);
  std::vector<std::string> rows;
  for (const auto& l : output())
    if (l[0] != '/') rows.push_back(l.substr(0, 33));
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "      100.0      -20.0      100.0", "      100.0       10.0      100.0",     // N: X position
                      "      250.0      250.0      -20.0", "      250.0      250.0       10.0",     // E: Y position
                      "      100.0      100.0      -20.0", "      100.0      100.0       10.0",     // S like E
                      "       75.5       75.5      -20.0", "       75.5       75.5       10.0",     // W like E
                      "        0.0      -20.0        0.0", "        0.0       10.0        0.0",     // "N": 0
                      "      100.0      100.0      -20.0", "      100.0      100.0       10.0"}));  // n is not N
}

TEST_F(ExportTest, LongValuesAreCutAndMinusSignsKept) {
  run_one(keyword_base_header("05/12/96", "60") + "10:00:00 58000.0 0\n" +
          keyword_field_header("123456789012N", "05/12/96") + "10 N 123456784 0 10:00:00\n20 N 100.04 0 10:01:00\n");
  request.base_field_text = "0";
  ASSERT_EQ(save(), ExportResult::complete);
  const auto lines = output();
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[9], "/Line 1234567890");
  // The line coordinate 123456789012 is the 32-bit float 123456790528: its text and
  // that of 123456784.0 are cut to their first 10 characters.
  EXPECT_EQ(lines[10], " 1234567905       10.0 1234567905 123456784.    58000.0 123398784. 1996/05/12 10:00:00");
  EXPECT_EQ(lines[11], " 1234567905       20.0 1234567905      100.0    58000.0   -57900.0 1996/05/12 10:01:00");
}

TEST_F(ExportTest, InputsAreCheckedFirst) {
  run_one(day());
  const std::string not_valid =
      "The base field value is not valid: give a number below 1,000,000 nT, without thousands separators";
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { request.file_name_text = "   "; }, "You must specify a file name to export the data"},
      {[&] { request.file_name_text = "sub/out.xyz"; }, "The export file name must not contain a drive or path"},
      {[&] { request.file_name_text = ".."; }, "The export file name must not contain a drive or path"},
      {[&] { request.file_name_text = "."; }, "The export file name must not contain a drive or path"},
      {[&] { request.base_field_text = " "; }, "You must specify a base field value"},
      {[&] { request.base_field_text = "57000 nT"; }, not_valid},
      {[&] { request.base_field_text = "57,500"; }, not_valid},
      {[&] { request.base_field_text = "1e300"; }, not_valid},
      // A corrected reading could not be written in its 10 characters.
      {[&] { request.base_field_text = "1000000"; }, not_valid},
      {[&] { request.base_field_text = "-1000000"; }, not_valid},
      // The name is checked before the base field value.
      {[&] {
         request.file_name_text = "";
         request.base_field_text = "";
       },
       "You must specify a file name to export the data"},
  };
  for (const auto& [change, text] : cases) {
    SetUp();
    change();
    EXPECT_EQ(save(), ExportResult::refused) << text;
    EXPECT_EQ(op.events, std::vector<std::string>{"message: " + text});
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()) || !std::filesystem::exists(dir.path() / "out.xyz"));
  SetUp();
  request.base_field_text = "-999999.9";
  EXPECT_EQ(save(), ExportResult::complete);
}

TEST_F(ExportTest, OverwriteQuestion) {
  run_one(day());
  dir.write("out.xyz", "keep me");
  op.answers = {false};
  ASSERT_EQ(save(), ExportResult::cancelled);
  EXPECT_EQ(op.events, std::vector<std::string>{"ask: The specified data file already exists: " + dir.dir() +
                                                "/out.xyz. Overwrite?"});
  EXPECT_EQ(dir.read("out.xyz"), "keep me");
  op.answers = {true};
  ASSERT_EQ(save(), ExportResult::complete);
  EXPECT_EQ(output().size(), 15u);
}

TEST_F(ExportTest, NeverWritesOverADirectoryOrDevice) {
  run_one(day());
  std::filesystem::create_directories(dir.path() / "out.xyz");
  op.answers = {true};
  EXPECT_EQ(save(), ExportResult::failed);
  EXPECT_EQ(op.messages, std::vector<std::string>{"An error occurred while exporting the data: " + dir.dir() +
                                                  "/out.xyz exists and is not a regular file"});
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "out.xyz"));
  request.directory = "/dev";
  request.file_name_text = "null";
  EXPECT_EQ(save(), ExportResult::failed);
  EXPECT_TRUE(std::filesystem::exists("/dev/null"));
}

TEST_F(ExportTest, FailuresAreReportedNeverAsComplete) {
  run_one(day());
  request.directory = (dir.path() / "missing").string();
  EXPECT_EQ(save(), ExportResult::failed);
  EXPECT_EQ(op.messages, std::vector<std::string>{"An error occurred while exporting the data: could not create " +
                                                  dir.dir() + "/missing/out.xyz: No such file or directory"});
  EXPECT_EQ(op.events.back(), "status 4: ");
}

TEST_F(ExportTest, ALineWithoutANameIsLeftOutAndNamed) {
  // A fixed-column header may carry an empty line name and still be valid.
  run_one(keyword_base_header("05/12/96", "10 MIN") + "14:00:00 57310.2 0.0\n" +
          keyword_field_header("100N", "05/12/96") + "25 N 57321.4 0.1 14:03:07\n50 N 57330.0 0.1 14:12:00\n" +
          "SCINTREX\nMP-2 UNCORRECTED BASE FIELD: 1*\nLINE         GRID  01  DATE: 05/12/96\n" +
          fixed_field_line("000100N", "57000.0", "14:01:00") + "\n" +
          fixed_field_line("000200N", "57000.0", "14:02:00") + "\n" + keyword_field_header("200N", "05/12/96") +
          "0 N 57321.4 0.1 14:03:07\n10 N 57330.0 0.1 14:12:00\n");
  ASSERT_TRUE(model.block_checked(3));
  ASSERT_EQ(block(3).line, "");
  EXPECT_EQ(save(), ExportResult::complete);
  EXPECT_EQ(op.messages, std::vector<std::string>{complete("2 lines and 4 readings") +
                                                  "\rLeft out, no line name: File : a.dat Block : 3"});
  std::vector<std::string> block_lines;
  for (const auto& l : output())
    if (l.rfind("/Line", 0) == 0) block_lines.push_back(l);
  EXPECT_EQ(block_lines, (std::vector<std::string>{"/Line       100N", "/Line       200N"}));
}

TEST_F(ExportTest, ABaseValueOutsideTheFloatRangeStopsTheExport) {
  // The interpolation between 3e38 and -3e38 overflows; the readings at the base readings'
  // own times do not.
  run_one(keyword_base_header("05/12/96", "60") + "10:00:00 3E38\n10:01:00 -3E38\n" +
          keyword_field_header("100N", "05/12/96") + "0 N 57000.0 0 10:00:00\n10 N 57000.0 0 10:00:30\n");
  ASSERT_EQ(save(), ExportResult::failed);
  EXPECT_EQ(op.messages, std::vector<std::string>{"An error occurred while exporting the data: the base value of "
                                                  "line 100N at 1996/05/12 10:00:30 is outside the 32-bit float "
                                                  "range"});
  const std::string file = dir.read("out.xyz");
  EXPECT_EQ(file.find("inf"), std::string::npos) << file;
  EXPECT_EQ(crlf_lines(file).size(), 9u);  // the block is stopped before its "/Line" line is written
}

TEST_F(ExportTest, AnOverflowInALaterLineKeepsEveryLineBeforeIt) {
  // Line 100N fills a batch of columns built ahead of the writing; 200N and the failing 300N
  // share the next.
  std::string dump = keyword_base_header("05/12/96", "10 MIN");
  for (int minute = 0; minute <= 20 * 60; minute += 10)
    dump += format_hms(day_number(minute * 60)) + " 57000.0 0.0 0.0\n";
  dump += keyword_base_header("05/12/96", "60") + "21:00:00 3E38\n21:01:00 -3E38\n";
  dump += keyword_field_header("100N", "05/12/96");
  for (int second = 0; second < 70'000; ++second)
    dump += format_int(second) + " N 57100.0 0 " + format_hms(day_number(second)) + "\n";
  dump += keyword_field_header("200N", "05/12/96") + "0 N 57000.0 0 19:00:00\n10 N 57000.0 0 19:00:30\n";
  dump += keyword_field_header("300N", "05/12/96") + "0 N 57000.0 0 21:00:00\n10 N 57000.0 0 21:00:30\n";
  run_one(dump);
  ASSERT_EQ(save(), ExportResult::failed);
  std::vector<std::string> block_lines;
  std::size_t rows = 0;
  for (const auto& l : output()) {
    if (l.rfind("/Line", 0) == 0) block_lines.push_back(l);
    if (l[0] != '/') ++rows;
  }
  EXPECT_EQ(block_lines, (std::vector<std::string>{"/Line       100N", "/Line       200N"}));
  EXPECT_EQ(rows, 70'002u);
  const auto at = std::find(op.events.begin(), op.events.end(), "status 2: Line 300N");
  ASSERT_NE(at, op.events.end());
  EXPECT_EQ(*std::next(at, 2), "busy 0");  // no total for 300N: its columns failed
  EXPECT_EQ(op.messages.size(), 1u);
}

TEST_F(ExportTest, DatabaseButtonWritesTheDatabase) {
  run_one(day());
  request.file_name_text = "out.gdb";
  EXPECT_EQ(save(export_oasis_button), ExportResult::complete);
  EXPECT_EQ(op.messages, std::vector<std::string>{complete("1 line and 5 readings", "out.gdb")});

  // A ticked line that no base session covers is named; an unticked one is not.
  run_one(day() + keyword_field_header("200N", "05/12/96") + "0 N 1.0 0 09:00:00\n10 N 1.0 0 09:01:00\n" +
          keyword_field_header("300N", "05/12/96") + "0 N 1.0 0 09:00:00\n10 N 1.0 0 09:01:00\n");
  set_node_checked(model, block(4).node, false);
  request.file_name_text = "out.xyz";
  EXPECT_EQ(save(), ExportResult::complete);
  EXPECT_EQ(op.messages, std::vector<std::string>{complete("1 line and 5 readings") +
                                                  "\rLeft out, no base session covers line 200N: File : a.dat "
                                                  "Block : 3"});
}

TEST(FitField, PadsOrCuts) {
  EXPECT_EQ(fit_field("100N", 10), "      100N");
  EXPECT_EQ(fit_field("123456789", 10), " 123456789");
  EXPECT_EQ(fit_field("1234567890", 10), "1234567890");
  EXPECT_EQ(fit_field("12345678901", 10), "1234567890");
  EXPECT_EQ(fit_field("", 3), "   ");
}

// Writing safely: a failure never costs an existing file, and never passes as a success.
namespace {

// A disk with 500 bytes free.
ssize_t full_disk_write(int fd, const void* data, std::size_t n) {
  const off_t at = ::lseek(fd, 0, SEEK_CUR);
  if (at >= 500) {
    errno = ENOSPC;
    return -1;
  }
  return ::write(fd, data, std::min(n, static_cast<std::size_t>(500 - at)));
}
int failing_close(int fd) {
  ::close(fd);
  errno = EIO;
  return -1;
}
int failing_fsync(int) {
  errno = EIO;
  return -1;
}

// Puts other system calls under the export's file for the life of the object.
class FileCallsFor {
public:
  explicit FileCallsFor(ExportFileCalls calls) : saved_(export_file_calls()) { export_file_calls() = calls; }
  ~FileCallsFor() { export_file_calls() = saved_; }

private:
  ExportFileCalls saved_;
};

std::vector<std::string> folder(const std::filesystem::path& path) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(path)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST_F(ExportTest, AFailedWriteOrCloseKeepsTheOldFileOrWhatWasWritten) {
  run_one(day());
  ASSERT_EQ(save(), ExportResult::complete);
  const std::string whole = dir.read("out.xyz");
  ASSERT_GT(whole.size(), 500u);
  const std::string path = dir.dir() + "/out.xyz";
  const ExportFileCalls real = export_file_calls();
  struct Case {
    const char* what;
    ExportFileCalls calls;
    bool existing;
    std::string message, file;
  } cases[] = {
      {"full disk",
       {full_disk_write, real.fsync, real.close, real.open},
       false,
       "could not write " + path + ": No space left on device",
       whole.substr(0, 500)},
      {"full disk",
       {full_disk_write, real.fsync, real.close, real.open},
       true,
       "could not write " + path + ": No space left on device",
       "keep me"},
      {"close",
       {real.write, real.fsync, failing_close, real.open},
       false,
       "could not write " + path + ": Input/output error",
       whole},
      {"close",
       {real.write, real.fsync, failing_close, real.open},
       true,
       "could not write " + path + ": Input/output error",
       "keep me"},
      {"fsync",
       {real.write, failing_fsync, real.close, real.open},
       true,
       "could not write " + path + ": Input/output error",
       "keep me"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(path);
    if (c.existing) dir.write("out.xyz", "keep me");
    op.answers = {true};
    {
      FileCallsFor calls(c.calls);
      EXPECT_EQ(save(), ExportResult::failed) << c.what << c.existing;
    }
    EXPECT_EQ(op.messages, std::vector<std::string>{"An error occurred while exporting the data: " + c.message})
        << c.what << c.existing;
    EXPECT_EQ(dir.read("out.xyz"), c.file) << c.what << c.existing;
    EXPECT_EQ(folder(dir.path()), (std::vector<std::string>{"a.dat", "out.xyz"})) << c.what << c.existing;
  }
}

namespace {

// A write that fails once, with EIO, when it reaches 1.5 MB; later writes go through, so a
// writer that went on after the failure would leave a gap in the file.
constexpr off_t flaky_at = 1'500'000;
bool flaky_failed = false;
ssize_t flaky_write(int fd, const void* data, std::size_t n) {
  const off_t at = ::lseek(fd, 0, SEEK_CUR);
  if (at == flaky_at && !flaky_failed) {
    flaky_failed = true;
    errno = EIO;
    return -1;
  }
  if (at < flaky_at) n = std::min(n, static_cast<std::size_t>(flaky_at - at));
  return ::write(fd, data, n);
}

}  // namespace

TEST_F(ExportTest, AFailedWritePartWayEndsTheFileThere) {
  std::string dump = keyword_base_header("05/12/96", "10 MIN");
  for (int minute = 0; minute <= 10 * 60; minute += 10)
    dump += format_hms(day_number((13 * 60 + minute) * 60)) + " 57310.2 0.0 0.0\n";
  dump += keyword_field_header("100N", "05/12/96");
  for (int second = 0; second < 36'000; ++second)
    dump += format_int(second) + " N 57321.4 0.1 " + format_hms(day_number(14 * 3600 + second)) + "\n";
  run_one(dump);
  ASSERT_EQ(save(), ExportResult::complete);
  const std::string whole = dir.read("out.xyz");
  ASSERT_GT(whole.size(), 2 * static_cast<std::size_t>(flaky_at));
  // A long line is formatted in pieces, half of each on another thread: every row in its place.
  const auto lines = crlf_lines(whole);
  ASSERT_EQ(lines.size(), 9u + 1u + 36'000u);
  for (std::size_t k = 0; k < 36'000; ++k) ASSERT_EQ(std::stof(lines[10 + k].substr(12, 10)), float(k)) << k;
  std::filesystem::remove(dir.path() / "out.xyz");
  flaky_failed = false;
  {
    FileCallsFor calls({flaky_write, export_file_calls().fsync, export_file_calls().close, export_file_calls().open});
    EXPECT_EQ(save(), ExportResult::failed);
  }
  EXPECT_EQ(dir.read("out.xyz"), whole.substr(0, flaky_at));
}

TEST_F(ExportTest, AReadOnlyFolderKeepsTheOldFile) {
  run_one(day());
  dir.write("out.xyz", "keep me");
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write | std::filesystem::perms::group_write,
                               std::filesystem::perm_options::remove);
  for (int index : {export_xyz_button, export_oasis_button}) {
    EXPECT_EXIT(
        {
          // The superuser writes into any folder: the export runs as nobody, with the GX
          // library loaded first (nobody may not reach the build folder).
          if (index == export_oasis_button) gx_library();
          if (::geteuid() == 0 && ::setuid(65534) != 0) std::_Exit(2);
          op.answers = {true};
          const bool failed = save(index) == ExportResult::failed;
          for (const auto& m : op.messages) std::fprintf(stderr, "%s\n", m.c_str());
          std::_Exit(failed ? 0 : 1);
        },
        ::testing::ExitedWithCode(0),
        "^An error occurred while exporting the data: could not create .*/out.xyz: Permission denied\n$");
  }
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
  EXPECT_EQ(dir.read("out.xyz"), "keep me");
  EXPECT_EQ(folder(dir.path()), (std::vector<std::string>{"a.dat", "out.xyz"}));
}

TEST_F(ExportTest, ReplacingAFileLeavesNoTemporaryFile) {
  run_one(day());
  for (const auto& [index, name] : {std::pair{export_xyz_button, "out.xyz"}, {export_oasis_button, "out.gdb"}}) {
    dir.write(name, "old");
    request.file_name_text = name;
    op.answers = {true};
    EXPECT_EQ(save(index), ExportResult::complete) << name;
    EXPECT_NE(dir.read(name), "old");
    EXPECT_EQ(op.messages, std::vector<std::string>{complete("1 line and 5 readings", name)});
  }
  EXPECT_EQ(folder(dir.path()), (std::vector<std::string>{"a.dat", "out.gdb", "out.xyz"}));
}

// What other programs and the operator see of an export while it runs and after it
// stops: nothing of ours but the finished file, and never a file of someone else's lost.
namespace {

// Four lines of 20,000 readings: the third line's status comes when more than the
// writer's buffers have gone to the file.
std::string long_day() {
  std::string dump;
  for (int line = 1; line <= 4; ++line) {
    dump += keyword_field_header(format_int(line * 100) + "N", "05/12/96");
    for (int second = 0; second < 20'000; ++second)
      dump += format_int(second) + " N 57100.0 0 " + format_hms(day_number(second)) + "\n";
  }
  return dump;
}

// Stops the export at the third line: tells the parent through `fd`, then waits for the
// signal that ends the program.
struct StoppingOperator : SilentOperator {
  int fd;
  int lines = 0;
  explicit StoppingOperator(int to_parent) : fd(to_parent) {}
  void status(int panel, const std::string&) override {
    if (panel != 2 || ++lines != 3) return;
    if (::write(fd, "x", 1) != 1) std::_Exit(3);
    for (;;) ::pause();
  }
};

// A file system without unnamed files.
int open_without_unnamed_files(const char* path, int flags, mode_t mode) {
  if ((flags & O_TMPFILE) == O_TMPFILE) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return ::open(path, flags, mode);
}

}  // namespace

TEST_F(ExportTest, AnExportStoppedBySignalLeavesNothing) {
  run_one(long_day());
  request.export_all = true;
  request.apply_corrections = false;
  const std::filesystem::path young = dir.path() / ".corvane-export-0000abcd";
  const std::filesystem::path foreign = dir.path() / ".corvane-export-scratch";
  const auto set_back = [](const std::filesystem::path& path, std::time_t seconds) {
    const timespec times[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
  };
  const struct Case {
    int index;
    bool unnamed;
    int signal;
  } cases[] = {
      {export_xyz_button, true, SIGINT},     {export_xyz_button, true, SIGKILL},
      {export_xyz_button, false, SIGTERM},   {export_xyz_button, false, SIGKILL},
      {export_oasis_button, false, SIGINT},  {export_oasis_button, false, SIGTERM},
      {export_oasis_button, false, SIGKILL},
  };
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.index) + (c.unnamed ? " unnamed " : " named ") + strsignal(c.signal);
    if (c.index == export_oasis_button) gx_library();  // loaded before the fork, as in a running program
    request.file_name_text = c.index == export_xyz_button ? "out.xyz" : "out.gdb";
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipe_fds[0]);
      if (!c.unnamed) export_file_calls().open = open_without_unnamed_files;
      StoppingOperator stopping(pipe_fds[1]);
      command_save_data(model, request, c.index, stopping, today);
      std::_Exit(2);  // the export was to be stopped before it ended
    }
    ::close(pipe_fds[1]);
    char byte = 0;
    const bool stopped = ::read(pipe_fds[0], &byte, 1) == 1;
    ::close(pipe_fds[0]);
    ::kill(child, c.signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(stopped) << what;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << what << " status " << status;

    if (c.signal == SIGKILL) {
      // Only the next export into the folder can tidy up: what is a day old goes, a younger
      // file may be a running export's, a name not quite ours is someone else's.
      for (const auto& name : folder(dir.path()))
        if (name.starts_with(".corvane-export-")) set_back(dir.path() / name, 24 * 60 * 60);
      dir.write(young.filename().string(), "");
      set_back(young, 24 * 60 * 60 - 600);
      dir.write(foreign.filename().string(), "");
      set_back(foreign, 2 * 24 * 60 * 60);
      request.file_name_text = "next.xyz";
      ASSERT_EQ(save(), ExportResult::complete) << what;
      EXPECT_EQ(folder(dir.path()),
                (std::vector<std::string>{young.filename().string(), foreign.filename().string(), "a.dat", "next.xyz"}))
          << what;
      std::filesystem::remove(young);
      std::filesystem::remove(foreign);
      std::filesystem::remove(dir.path() / "next.xyz");
    }
    EXPECT_EQ(folder(dir.path()), std::vector<std::string>{"a.dat"}) << what;
  }
}

// A file that appears at the target while the export runs is found at the end: the
// question is asked then, and Cancel keeps that file.
TEST_F(ExportTest, AFileThatAppearsMeanwhileIsReplacedOnlyWithConsent) {
  struct AppearingOperator : RecordingOperator {
    std::filesystem::path target;
    bool appeared = false;
    void status(int panel, const std::string& text) override {
      if (panel == 2 && !std::exchange(appeared, true)) std::ofstream(target) << "theirs";
      RecordingOperator::status(panel, text);
    }
  };
  run_one(day());
  for (const int index : {export_xyz_button, export_oasis_button})
    for (const bool agree : {false, true}) {
      const std::string name = index == export_xyz_button ? "out.xyz" : "out.gdb";
      const std::string what = name + (agree ? " OK" : " Cancel");
      AppearingOperator appearing;
      appearing.target = dir.path() / name;
      appearing.answers = {agree};
      request.file_name_text = name;
      EXPECT_EQ(command_save_data(model, request, index, appearing, today),
                agree ? ExportResult::complete : ExportResult::cancelled)
          << what;
      EXPECT_EQ(
          std::count(appearing.events.begin(), appearing.events.end(),
                     "ask: The specified data file already exists: " + (dir.path() / name).string() + ". Overwrite?"),
          1)
          << what;
      EXPECT_EQ(appearing.messages.size(), agree ? 1u : 0u) << what;
      EXPECT_EQ(dir.read(name) == "theirs", !agree) << what;
      EXPECT_EQ(folder(dir.path()), (std::vector<std::string>{"a.dat", name})) << what;
      std::filesystem::remove(appearing.target);
    }
}

TEST_F(ExportTest, NamesUpToTheLongestTheFolderTakes) {
  run_one(day());
  const struct Case {
    int index;
    std::size_t length;
    bool existing;
  } cases[] = {
      {export_xyz_button, 255, false},
      {export_xyz_button, 255, true},
      {export_oasis_button, 238, false},  // SQLite's journal beside it would need 246
      {export_oasis_button, 255, false},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.length - 4, 'n') + (c.index == export_xyz_button ? ".xyz" : ".gdb");
    if (c.existing) dir.write(name, "old");
    request.file_name_text = name;
    op.answers = {true};
    EXPECT_EQ(save(c.index), ExportResult::complete) << c.length << " " << c.index;
    EXPECT_EQ(op.messages, std::vector<std::string>{complete("1 line and 5 readings", name)});
    EXPECT_NE(dir.read(name), "old");
    EXPECT_EQ(folder(dir.path()), (std::vector<std::string>{"a.dat", name}));
    std::filesystem::remove(dir.path() / name);
  }
}

// The column and row formatting against the formatting it replaced, kept here as the
// reference: a text per value, format_fixed and a pad-or-cut to 10 characters.
namespace {

std::string reference_field(float v) {
  const std::string text = format_fixed(v, 1);
  return text.size() < 10 ? std::string(10 - text.size(), ' ') + text : text.substr(0, 10);
}

std::string reference_value(float v) { return v == null_value ? "          *" : " " + reference_field(v); }

std::string reference_row(float coord, char direction, float position, float raw, float base, float corr, double time) {
  const bool north = direction == 'N';
  return " " + reference_field(coord) + " " + reference_field(north ? position : coord) + " " +
         reference_field(north ? coord : position) + reference_value(raw) + reference_value(base) +
         reference_value(corr) + " " + format_ymd_hms(time) + "\r\n";
}

std::string field(float v) {
  std::string out(value_field_width, '?');
  fit_value(out.data(), v);
  return out;
}

}  // namespace

TEST(XyzFormatting, TheValueColumnOnTheBoundaries) {
  const std::pair<float, const char*> cases[] = {
      {1234567.0f, " 1234567.0"},    // 9 characters: one blank before
      {12345678.0f, "12345678.0"},   // 10: as it is
      {123456784.0f, "123456784."},  // 11: cut to 10
      {-1234567.0f, "-1234567.0"},  {-12345678.0f, "-12345678."},
      {0.25f, "       0.3"},  // the shortest text 0.25 rounds half up
      {0.35f, "       0.4"},  // 0.35f is 0.34999999..., its shortest text 0.35
      {-0.25f, "      -0.3"},       {-0.04f, "      -0.0"},
      {-0.0f, "       0.0"},        {0.0f, "       0.0"},
      {99.95f, "     100.0"},       {57321.4f, "   57321.4"},
      {131071.95f, "  131072.0"},   {131072.0f, "  131072.0"},
      {131072.05f, "  131072.1"},   {-99999.0f, "  -99999.0"},
      {1e-30f, "       0.0"},       {std::numeric_limits<float>::infinity(), "  Infinity"},
  };
  for (const auto& [v, text] : cases) EXPECT_EQ(field(v), text) << v;
}

TEST(XyzFormatting, AMillionValuesAsTheTextPerValueFormatting) {
  std::mt19937 random(14);
  std::uniform_int_distribution<std::uint32_t> bits;
  std::uniform_real_distribution<float> field_values(-200000.0f, 200000.0f);
  std::uniform_int_distribution<std::int32_t> steps(-3000000, 3000000);
  std::uniform_int_distribution<int> exponent(-40, 38);
  int mismatches = 0;
  for (int i = 0; i < 1'000'000 && mismatches < 10; ++i) {
    float v = 0;
    switch (i % 6) {
      case 0: {  // any 32-bit pattern: huge, tiny, subnormal, NaN, infinite
        const std::uint32_t b = bits(random);
        std::memcpy(&v, &b, sizeof v);
        break;
      }
      case 1: v = field_values(random); break;
      case 2: v = static_cast<float>(steps(random)) / 10.0f; break;           // tenths
      case 3: v = (static_cast<float>(steps(random)) + 0.5f) / 10.0f; break;  // midpoints between tenths
      case 4: v = static_cast<float>(steps(random)) / 2.0f; break;            // halves
      default: v = std::pow(10.0f, static_cast<float>(exponent(random))) * (i % 12 < 6 ? 1 : -1); break;
    }
    const std::string expected = reference_field(v);
    if (field(v) != expected && ++mismatches) ADD_FAILURE() << v << ": " << field(v) << " not " << expected;
  }
}

TEST(XyzFormatting, RowsAsTheTextPerValueFormatting) {
  std::mt19937 random(86);
  std::uniform_real_distribution<float> values(-70000.0f, 70000.0f);
  std::uniform_int_distribution<std::int64_t> seconds(days_from_civil(100, 1, 1) * seconds_per_day,
                                                      days_from_civil(9999, 11, 30) * seconds_per_day);
  std::uniform_int_distribution<int> pick(0, 9);
  const char* const lines[] = {"100N", "250E", "123456789012N", "75.5W"};
  XyzRows rows;
  char out[XyzRows::row_bytes];
  for (int block = 0; block < 400; ++block) {
    const std::string line = lines[block % 4];
    const float coord = line_coordinate(line);
    rows.set_line(coord, direction_letter(line));
    std::int64_t t = seconds(random);
    for (int r = 0; r < 250; ++r) {
      t += pick(random) * 700;  // on through midnights
      const auto maybe_null = [&](float v) { return pick(random) == 0 ? null_value : v; };
      const float position = values(random) / 100, raw = maybe_null(values(random)), base = maybe_null(values(random)),
                  corr = maybe_null(values(random));
      const double time = day_number(t) + (pick(random) - 5) * 1e-7;  // not always on the second
      rows.put(out, position, raw, base, corr, time);
      ASSERT_EQ(std::string(out, sizeof out), reference_row(coord, line.back(), position, raw, base, corr, time));
    }
  }
  // A five-digit year would widen the row.
  EXPECT_THROW(rows.put(out, 0, 0, 0, 0, at(10000, 1, 1, 0, 0, 0)), ExportError);
}
