#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "correction/base_match.h"
#include "dump_fixture.h"
#include "export/export_command.h"
#include "export/export_core.h"
#include "export/xyz_writer.h"

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
  EXPECT_EQ(op.messages, std::vector<std::string>{"Export complete"});
  EXPECT_EQ(op.events, (std::vector<std::string>{"busy 1", "status 2: Line 100N", "status 3: Num Data 5",
                                                 "status 4: Total 5", "busy 0", "message: Export complete", "busy 0",
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
  EXPECT_EQ(op.messages, std::vector<std::string>{"Export complete"});
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
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { request.file_name_text = "   "; }, "You must specify a file name to export the data"},
      {[&] { request.file_name_text = "sub/out.xyz"; }, "The export file name must not contain a drive or path"},
      {[&] { request.file_name_text = ".."; }, "The export file name must not contain a drive or path"},
      {[&] { request.file_name_text = "."; }, "The export file name must not contain a drive or path"},
      {[&] { request.base_field_text = " "; }, "You must specify a base field value"},
      {[&] { request.base_field_text = "57000 nT"; }, "The base field value is not valid"},
      {[&] { request.base_field_text = "1e300"; }, "The base field value is not valid"},
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
}

TEST_F(ExportTest, OverwriteQuestion) {
  run_one(day());
  dir.write("out.xyz", "keep me");
  op.answers = {false};
  ASSERT_EQ(save(), ExportResult::cancelled);
  EXPECT_EQ(op.events, std::vector<std::string>{"ask: The specified data file already exists. Overwrite?"});
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

  // A full disk.
  std::FILE* full = std::fopen("/dev/full", "wb");
  ASSERT_NE(full, nullptr);
  op.messages.clear();
  ExportOptions options;
  options.base_field_value = 57000;
  EXPECT_EQ(export_xyz(model, options, full, "/dev/full", op, today), ExportResult::failed);
  std::fclose(full);
  EXPECT_EQ(op.messages,
            std::vector<std::string>{
                "An error occurred while exporting the data: could not write /dev/full: No space left on device"});
}

TEST_F(ExportTest, ALineWithoutANameStopsTheExport) {
  // A fixed-column header may carry an empty line name and still be valid.
  run_one(keyword_base_header("05/12/96", "10 MIN") + "14:00:00 57310.2 0.0\n" +
          keyword_field_header("100N", "05/12/96") + "25 N 57321.4 0.1 14:03:07\n50 N 57330.0 0.1 14:12:00\n" +
          "SCINTREX\nMP-2 UNCORRECTED BASE FIELD: 1*\nLINE         GRID  01  DATE: 05/12/96\n" +
          fixed_field_line("000100N", "57000.0", "14:01:00") + "\n" +
          fixed_field_line("000200N", "57000.0", "14:02:00") + "\n");
  ASSERT_TRUE(model.block_checked(3));
  ASSERT_EQ(block(3).line, "");
  EXPECT_EQ(save(), ExportResult::failed);
  EXPECT_EQ(op.messages,
            std::vector<std::string>{"An error occurred while exporting the data: a block to export has no line name"});
  // The file keeps what was written up to the failure.
  const auto lines = output();
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[9], "/Line       100N");
  EXPECT_EQ(lines[12], "/Line           ");
}

TEST_F(ExportTest, DatabaseButtonWritesTheDatabase) {
  run_one(day());
  request.file_name_text = "out.gdb";
  EXPECT_EQ(save(export_oasis_button), ExportResult::complete);
  EXPECT_EQ(op.messages, std::vector<std::string>{"Export complete"});
}

TEST(FitField, PadsOrCuts) {
  EXPECT_EQ(fit_field("100N", 10), "      100N");
  EXPECT_EQ(fit_field("1234567890", 10), "1234567890");
  EXPECT_EQ(fit_field("12345678901", 10), "1234567890");
  EXPECT_EQ(fit_field("", 3), "   ");
}
