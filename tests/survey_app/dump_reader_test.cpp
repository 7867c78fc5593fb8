#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>

#include "util/text.h"

#include "../../bench/survey_app/dump_generator.h"
#include "dump_fixture.h"
#include "export/export_command.h"
#include "reader/dump_reader.h"
#include "reader/file_list.h"
#include "reader/line_reader.h"

using namespace corvane;
using namespace corvane::test;
using Floats = std::vector<float>;

TEST_F(ReaderTest, KeywordLayoutBlocksNodesAndReadings) {
  run_one("junk before the first marker\nSTATION 1 2 3\n" + keyword_base_header("05/12/96") +
          "   TIME     MAG   DIFFS\n"
          "10:00:00 58000.0 1.5 -0.5\n"
          "\n"
          "10:01:30,58002.0,,7\n" +
          keyword_field_header("100 +", "05/12/96") +
          "STATION      MAG     SD   TIME\n"
          "------------------------------\n"
          "200 n 57321.4 0.12 10:05:00\n"
          "100 N 57300.0 0.12 10:06:00\n"
          "0150 s 57310.5 0.12 10:07:00\n"
          "abc N 57310.5 0.12 10:07:30\n"
          "150 N 57310.5x 0.12 10:08:00\n"
          "150 N 573 0.12 10:08:00\n"
          "160 N 57311.0 0.12 25:08:00\n");

  ASSERT_EQ(model.node_count, 3);
  EXPECT_EQ(model.node_key(1), "a.dat");
  EXPECT_EQ(model.node_text(1), "a.dat");
  EXPECT_TRUE(node(1).checked);
  EXPECT_EQ(node(1).parent, 0);
  EXPECT_EQ(model.node_key(2), "filea.datblock0001");
  EXPECT_EQ(model.node_text(2), "0001 Base 05/12/96 Line BS1");
  EXPECT_EQ(model.node_key(3), "filea.datblock0002");
  EXPECT_EQ(model.node_text(3), "0002 Data 05/12/96 Line 100N");
  EXPECT_EQ(node(2).parent, 1);
  EXPECT_TRUE(node(2).checked && node(3).checked);
  EXPECT_EQ(model.node_block, (std::vector<std::int32_t>{0, 0, 1, 2}));

  ASSERT_EQ(model.block_count, 2);
  EXPECT_EQ(model.base_block_count, 1);
  EXPECT_EQ(model.data_block_count, 1);
  EXPECT_EQ(block(1).kind, base_kind);
  EXPECT_EQ(block(1).line, "BS1");
  EXPECT_EQ(block(1).node, 2);
  EXPECT_EQ(block(1).first_reading, 1);
  // 10:00:00 58000.0, +30 s 58001.5, +30 s 58001.0; then a line whose empty second
  // difference drops the rest.
  EXPECT_EQ(mags(1), (Floats{58000.0f, 58001.5f, 58001.0f, 58002.0f}));
  EXPECT_EQ(times(1), (std::vector<double>{at(1996, 5, 12, 10, 0, 0), at(1996, 5, 12, 10, 0, 30),
                                           at(1996, 5, 12, 10, 1, 0), at(1996, 5, 12, 10, 1, 30)}));
  EXPECT_EQ(stations(1), (Floats{0, 0, 0, 0}));
  EXPECT_EQ(block(1).start_time, at(1996, 5, 12, 10, 0, 0));
  EXPECT_EQ(block(1).end_time, at(1996, 5, 12, 10, 1, 30));

  EXPECT_EQ(block(2).kind, field_kind);
  EXPECT_EQ(block(2).line, "100N");
  EXPECT_EQ(block(2).first_reading, 5);
  // "0150 s" is station -150; only the first 7 characters of the value are tested, so
  // "57310.5x" counts as 57310.5; "573" passes too.
  EXPECT_EQ(stations(2), (Floats{-150, 100, 150, 150, 200}));
  EXPECT_EQ(mags(2), (Floats{57310.5f, 57300.0f, 57310.5f, 573.0f, 57321.4f}));
  EXPECT_EQ(block(2).start_time, at(1996, 5, 12, 10, 5, 0));
  EXPECT_EQ(block(2).end_time, at(1996, 5, 12, 10, 8, 0));
  EXPECT_EQ(model.reading_count(), 9);
  EXPECT_TRUE(op.messages.empty());
}

TEST_F(ReaderTest, FixedColumnLayout) {
  run_one("MP-2 DUMP\n" + fixed_base_header("05/12/96", "2 MIN", "?58000.0") + "  TIME     BASE   DIFFERENCES\n" +
          fixed_base_line("10:00:00", "58000.0", {"1.5", "-0.5"}) + "\n" +
          fixed_base_line("10:06:00", "58000.5", {"x.x", "2.0"}) + "\n" + fixed_base_line(" 10:07:00", "58000.5") +
          "\n" +  // third character is not ":"
          fixed_field_header("300N", "05/12/96") + "STATION  MAG   SD   TIME\n" +
          fixed_field_line("000200N", "57321.4", "14:03:07") + "\n" +
          fixed_field_line("000150S", "57300.1", "14:04:07") + "\n" +
          fixed_field_line("     5N", "57300.1", "14:05:07") + "\n" +  // first five all spaces
          fixed_field_line("00010N", "57300.1", "14:05:07") + "\n" +   // columns 1-6 not numeric
          fixed_field_line("000100W", "573x0.1", "14:05:07") + "\n" +  // value not numeric
          fixed_field_line("000100W", "57300.1", "14:65:07") + "\n" +  // time not valid
          fixed_field_line("000050E", "57299.9", "14:06:07") + "\n");
  ASSERT_EQ(model.block_count, 2);
  EXPECT_EQ(model.node_text(2), "0001 Base 05/12/96 Line BS1");
  EXPECT_EQ(model.node_text(3), "0002 Data 05/12/96 Line 300N");
  EXPECT_EQ(block(1).kind, base_kind);
  EXPECT_EQ(mags(1), (Floats{58000.0f, 58001.5f, 58001.0f, 58000.5f}));
  EXPECT_EQ(times(1), (std::vector<double>{at(1996, 5, 12, 10, 0, 0), at(1996, 5, 12, 10, 2, 0),
                                           at(1996, 5, 12, 10, 4, 0), at(1996, 5, 12, 10, 6, 0)}));
  EXPECT_EQ(block(2).kind, field_kind);
  EXPECT_EQ(block(2).line, "300N");
  EXPECT_EQ(stations(2), (Floats{-150, 50, 200}));
  EXPECT_EQ(mags(2), (Floats{57300.1f, 57299.9f, 57321.4f}));
  EXPECT_EQ(block(2).start_time, at(1996, 5, 12, 14, 3, 7));
  EXPECT_EQ(block(2).end_time, at(1996, 5, 12, 14, 6, 7));
}

TEST(CycleRule, NumbersUnitsAndRounding) {
  EXPECT_EQ(cycle_seconds_from("30 SEC"), 30);
  EXPECT_EQ(cycle_seconds_from("30"), 30);
  EXPECT_EQ(cycle_seconds_from("2 MIN"), 120);
  EXPECT_EQ(cycle_seconds_from("0.5 MIN"), 0);
  EXPECT_EQ(cycle_seconds_from("1.5 MIN"), 120);
  EXPECT_EQ(cycle_seconds_from("2.5"), 2);
  EXPECT_EQ(cycle_seconds_from("20S"), 20);
  EXPECT_EQ(cycle_seconds_from("SLOW"), 0);
  EXPECT_EQ(cycle_seconds_from("1e12"), std::nullopt);
  EXPECT_EQ(cycle_seconds_from("40000000 MIN"), std::nullopt);
}

TEST_F(ReaderTest, LineNamesStationsAndCycles) {
  run_one(keyword_field_header("12 3", "05/12/96") + "1 N 1 0 10:00:00\n" + keyword_field_header("100 +", "05/12/96") +
          "1 N 1 0 10:00:00\n" + keyword_base_header("05/12/96", "0.5 MIN") + "10:00:00 1 1 1\n" +
          keyword_field_header("200E", "05/12/96") +
          "0150 W 1 0 10:00:00\n0150 E 2 0 10:00:00\n0150Sx N 3 0 10:00:00\n");
  EXPECT_EQ(block(1).line, "123");
  EXPECT_EQ(block(2).line, "100N");
  // A cycle of half a minute rounds to 0 before it is multiplied: no time passes.
  EXPECT_EQ(times(3), std::vector<double>(3, at(1996, 5, 12, 10, 0, 0)));
  // "0150Sx" is not numeric: only W and E lines count.
  EXPECT_EQ(stations(4), (Floats{-150, 150}));
}

TEST_F(ReaderTest, EqualStationsKeepFileOrder) {
  std::string text = keyword_field_header("1N", "05/12/96");
  const char* rows[] = {"200 N 1 0 10:00:00", "100 N 2 0 10:01:00", "150 N 3 0 10:02:00",
                        "100 N 4 0 10:03:00", "150 N 5 0 10:04:00", "100 N 6 0 10:05:00"};
  for (const char* r : rows) text += std::string(r) + "\n";
  run_one(text);
  EXPECT_EQ(stations(1), (Floats{100, 100, 100, 150, 150, 200}));
  EXPECT_EQ(mags(1), (Floats{2, 4, 6, 3, 5, 1}));
}

TEST_F(ReaderTest, FilesWithoutHeadersGiveUncheckedFileNodes) {
  const ProcessingSummary summary =
      run({{"empty.dat", ""}, {"day.dat", keyword_base_header("05/12/96", "30")}, {"notes.txt", "nothing\nto see\n"}});
  EXPECT_EQ(files_without_blocks_message(summary),
            "No block was found in these files: " + dir.dir() + "/empty.dat, " + dir.dir() + "/notes.txt");
  EXPECT_EQ(files_without_blocks_message(run({{"day.dat", keyword_base_header("05/12/96", "30")}})), "");
  model.reset();
  run({{"empty.dat", ""}, {"notes.txt", "nothing\nto see\n"}});
  EXPECT_EQ(model.block_count, 0);
  ASSERT_EQ(model.node_count, 2);
  EXPECT_FALSE(node(1).checked);
  EXPECT_FALSE(node(2).checked);
  EXPECT_EQ(model.match.size(), 1u);
}

TEST_F(ReaderTest, InvalidKeywordHeaders) {
  std::string text;
  // 1: no LINE____ line.
  text += keyword_header({"DATE____: 05/12/96"}) + "1 N 1 0 10:00:00\n";
  // 2: a date that is not a date.
  text += keyword_field_header("1N", "13/45/96") + "1 N 1 0 10:00:00\n";
  // 3: CYC_TIME without ":".
  text += keyword_header({"DATE____: 05/12/96", "LINE____: 1N", "CYC_TIME 30"}) + "10:00:00 1 1\n";
  // 4: no "/----" among the first 19 lines: the block is invalid, the lines after it are
  //    passed over up to the next marker.
  text += "S C I N T R E X\nheader\nDATE____: 05/12/96\nLINE____: 7N\n";
  for (int i = 0; i < 20; ++i) text += "1 N 1 0 10:00:00\n";
  // 5: a valid block after all that.
  text += keyword_field_header("9N", "05/12/96") + "1 N 1 0 10:00:00\n2 N 1 0 10:01:00\n";
  run_one(text);
  ASSERT_EQ(model.block_count, 5);
  for (int b = 1; b <= 4; ++b) {
    EXPECT_FALSE(model.block_checked(b)) << b;
    EXPECT_EQ(block(b).num_readings, 0) << b;
  }
  EXPECT_EQ(model.node_text(2), "0001 Data 05/12/96 Line ");
  EXPECT_EQ(model.node_text(4), "0003 Base 05/12/96 Line 1N");
  EXPECT_EQ(block(3).kind, base_kind);
  EXPECT_TRUE(model.block_checked(5));
  EXPECT_EQ(block(5).line, "9N");
  EXPECT_EQ(block(5).num_readings, 2);
  EXPECT_EQ(model.node_key(6), "filea.datblock0005");
}

TEST_F(ReaderTest, HeaderOfExactlyEighteenLinesIsStillValid) {
  // Marker, header lines 1..17 and "/----" as line 18.
  std::string text = "S C I N T R E X\nline 1\nDATE____: 05/12/96\nLINE____: 1N\n";
  for (int i = 4; i <= 17; ++i) text += "REMARK " + std::to_string(i) + "\n";
  text += "/----\n1 N 5 0 10:00:00\n";
  run_one(text);
  EXPECT_TRUE(model.block_checked(1));
  EXPECT_EQ(block(1).num_readings, 1);
  // One more remark pushes "/----" to line 19.
  std::string longer = "S C I N T R E X\nline 1\nDATE____: 05/12/96\nLINE____: 1N\n";
  for (int i = 4; i <= 18; ++i) longer += "REMARK " + std::to_string(i) + "\n";
  longer += "/----\n1 N 5 0 10:00:00\n";
  run_one(longer);
  EXPECT_FALSE(model.block_checked(1));
}

TEST_F(ReaderTest, FilesEndingInsideAHeader) {
  run({{"a.dat", keyword_field_header("1N", "05/12/96") + "1 N 1 0 10:00:00\nS C I N T R E X\n"},
       {"b.dat", "SCINTREX\nMP-2  UNCORRECTED DATA BASE FIELD: 1*\n"},
       {"c.dat", "S C I N T R E X\nx\nDATE____: 05/12/96\nLINE____: 1N\n"},
       {"d.dat", keyword_field_header("2N", "05/12/96")}});
  ASSERT_EQ(model.block_count, 5);
  EXPECT_TRUE(model.block_checked(1));
  EXPECT_EQ(block(1).num_readings, 1);
  EXPECT_FALSE(model.block_checked(2));  // marker on the last line
  EXPECT_FALSE(model.block_checked(3));  // fixed header missing line B
  EXPECT_EQ(block(3).kind, base_kind);
  EXPECT_FALSE(model.block_checked(4));  // no "/----" before the end
  EXPECT_TRUE(model.block_checked(5));   // complete header, no data
  EXPECT_EQ(block(5).num_readings, 0);
  for (int n : {1, 4, 6, 8}) EXPECT_TRUE(node(n).checked) << n;
}

TEST_F(ReaderTest, InvalidFixedHeaders) {
  run_one(
      // A lacks "BASE": recorded as kind 0 with an empty label; its data lines are passed over.
      "SCINTREX\nMP-2 UNCORRECTED DATA\nLINE 1N  GRID DATE: 05/12/96\n" +
      fixed_field_line("000100N", "57000.0", "10:00:00") + "\n" +
      // B has "GRID" before column 7.
      "SCINTREX\nMP-2 UNCORRECTED BASE FIELD: 1*\nGRID 1N DATE: 05/12/96\n" +
      // B has no "GRID" at all.
      "SCINTREX\nMP-2 UNCORRECTED BASE FIELD: 1*\nLINE 1N    DATE: 05/12/96\n" +
      // A base header without "TIME".
      "SCINTREX\nMP-2 BASE STATION BASE FIELD: 1C\nLINE BS1     GRID  01      DATE: 05/12/96\n" +
      // A bad date.
      fixed_field_header("2N", "02/30/96") + fixed_field_line("000100N", "57000.0", "10:00:00") + "\n" +
      // And a good one.
      fixed_field_header("3N", "05/12/96") + fixed_field_line("000100N", "57000.0", "10:00:00") + "\n");
  ASSERT_EQ(model.block_count, 6);
  EXPECT_EQ(model.node_text(2), "0001 ");
  EXPECT_EQ(block(1).kind, base_kind);
  EXPECT_EQ(model.base_block_count, 2);
  EXPECT_EQ(model.data_block_count, 4);
  for (int b = 1; b <= 5; ++b) EXPECT_FALSE(model.block_checked(b)) << b;
  EXPECT_EQ(model.node_text(5), "0004 Base 05/12/96 Line BS1");
  EXPECT_TRUE(model.block_checked(6));
  EXPECT_EQ(block(6).num_readings, 1);
  EXPECT_EQ(block(6).line, "3N");
}

TEST_F(ReaderTest, BaseFieldDropsAreReported) {
  run({{"a.dat", keyword_base_header("05/12/96", "30", "58000.4") + keyword_base_header("05/12/96", "30", "58000.0") +
                     keyword_base_header("05/12/96", "30", "58001.0")},
       {"b.dat", fixed_base_header("05/12/96", "30 SEC", "58000.0") +
                     // A field block between them does not take part.
                     fixed_field_header("1N", "05/12/96", "10.0") +
                     keyword_base_header("05/12/96", "30", "57000.25")}});
  // 58000.4 -> 58000.0 is no drop; 58000.0 -> 58001.0 is a rise; 58001.0 -> 58000.0
  // (across files: the previous value is kept for the whole run) is one; and so is
  // 58000.0 -> 57000.25.
  ASSERT_EQ(op.messages.size(), 2u);
  EXPECT_EQ(op.messages[0], "The base station field value has changed from 58001.0 to 58000.0\rFile : b.dat Block : 1");
  EXPECT_EQ(header_base_field(model), 58000.4f);  // the export pane's first guess
  EXPECT_EQ(block(5).base_field, null_value);     // a field block has none
  EXPECT_EQ(op.messages[1], "The base station field value has changed from 58000.0 to 57000.3\rFile : b.dat Block : 3");
  EXPECT_EQ(op.events.front(), "busy 1");
  EXPECT_EQ(op.events.back(), "busy 0");
}

TEST_F(ReaderTest, ReadingsAfterMidnightMoveToTheNextDay) {
  run_one(keyword_base_header("05/12/96", "30 SEC") +
          "23:59:00 58000.0 1.0 1.0 1.0\n"  // 23:59:00, 23:59:30, 00:00:00, 00:00:30
          "00:01:00 58010.0 1.0\n" +
          keyword_field_header("1N", "05/12/96") +
          "100 N 1 0 23:58:00\n"
          "125 N 2 0 23:59:30\n"
          "150 N 3 0 00:01:00\n"
          "175 N 4 0 00:03:00\n" +
          keyword_field_header("2N", "05/12/96") + "100 N 1 0 10:00:00\n200 N 1 0 11:00:00\n");
  const double d0 = at(1996, 5, 12, 0, 0, 0), d1 = at(1996, 5, 13, 0, 0, 0);
  EXPECT_EQ(times(1),
            (std::vector<double>{at(1996, 5, 12, 23, 59, 0), at(1996, 5, 12, 23, 59, 30), d1, at(1996, 5, 13, 0, 0, 30),
                                 at(1996, 5, 13, 0, 1, 0), at(1996, 5, 13, 0, 1, 30)}));
  EXPECT_EQ(block(1).start_time, at(1996, 5, 12, 23, 59, 0));
  EXPECT_EQ(block(1).end_time, at(1996, 5, 13, 0, 1, 30));
  EXPECT_EQ(block(2).start_time, at(1996, 5, 12, 23, 58, 0));
  EXPECT_EQ(block(2).end_time, at(1996, 5, 13, 0, 3, 0));
  EXPECT_EQ(times(2)[3], at(1996, 5, 13, 0, 3, 0));
  // A block that does not cross midnight is unchanged.
  EXPECT_EQ(block(3).start_time, at(1996, 5, 12, 10, 0, 0));
  EXPECT_EQ(block(3).end_time, at(1996, 5, 12, 11, 0, 0));
  EXPECT_GT(block(3).start_time, d0);
  // Both spans run through midnight, so the base session covers half the field line:
  // 23:59:00 to 00:01:30 of the 5 minutes from 23:58:00 to 00:03:00.
  EXPECT_EQ(model.match_of(2).base_block, 1);
  EXPECT_EQ(model.match_of(2).base_cover, 50);
}

TEST_F(ReaderTest, UnreadableFilesAreReportedAndSkipped) {
  const DumpFile good = file("good.dat", keyword_field_header("1N", "05/12/96") + "1 N 1 0 10:00:00\n");
  std::filesystem::create_directories(dir.path() / "folder.dat");
  const std::vector<DumpFile> list{DumpFile{"missing.dat", dir.dir()}, DumpFile{"folder.dat", dir.dir()}, good};
  process_files(model, list, op, DateOrder::mdy);
  ASSERT_EQ(op.messages.size(), 2u);
  EXPECT_EQ(op.messages[0], "The file " + dir.dir() + "/missing.dat could not be opened: No such file or directory");
  EXPECT_EQ(op.messages[1], "The file " + dir.dir() + "/folder.dat could not be opened: it is a directory");
  ASSERT_EQ(model.node_count, 4);
  EXPECT_FALSE(node(1).checked);
  EXPECT_FALSE(node(2).checked);
  EXPECT_TRUE(node(3).checked);
  EXPECT_EQ(model.block_count, 1);
  EXPECT_EQ(block(1).num_readings, 1);
}

TEST_F(ReaderTest, UnreadablePermissions) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const DumpFile f = file("locked.dat", "x");
  ::chmod((dir.path() / "locked.dat").c_str(), 0);
  process_files(model, {f}, op, DateOrder::mdy);
  ASSERT_EQ(op.messages.size(), 1u);
  EXPECT_NE(op.messages[0].find("Permission denied"), std::string::npos);
}

TEST_F(ReaderTest, EmptyListOnlyBeeps) {
  run_one(keyword_field_header("1N", "05/12/96") + "1 N 1 0 10:00:00\n");
  op.events.clear();
  EXPECT_FALSE(process_files(model, {}, op, DateOrder::mdy));
  EXPECT_EQ(op.events, std::vector<std::string>{"beep"});
  EXPECT_EQ(model.block_count, 1);
}

TEST_F(ReaderTest, TablesGrowPastTheirFirstRows) {
  std::string text;
  for (int b = 1; b <= 600; ++b) {
    text += keyword_field_header(std::to_string(b) + "N", "05/12/96");
    text += std::to_string(b) + " N " + std::to_string(50000 + b) + " 0 10:00:00\n";
    text += std::to_string(b + 1) + " N " + std::to_string(50000 + b) + ".5 0 10:00:01\n";
  }
  run_one(text);
  ASSERT_EQ(model.block_count, 600);
  EXPECT_EQ(model.node_count, 601);
  EXPECT_EQ(model.reading_count(), 1200);
  for (int b : {1, 2, 512, 513, 600}) {
    EXPECT_EQ(block(b).line, std::to_string(b) + "N");
    EXPECT_EQ(block(b).first_reading, 2 * b - 1);
    EXPECT_EQ(mags(b), (Floats{50000.0f + b, 50000.5f + b}));
    EXPECT_EQ(model.node_key(b + 1), "filea.datblock" + format_padded(b, 4));
  }
}

TEST_F(ReaderTest, EachRunStartsAfresh) {
  run_one(keyword_field_header("1N", "05/12/96") + "1 N 1 0 10:00:00\n");
  model.selected_node = 2;
  model.selected_block = 1;
  run({{"b.dat", keyword_field_header("2N", "05/12/96") + "1 N 1 0 10:00:00\n2 N 2 0 10:00:10\n"}});
  EXPECT_EQ(model.block_count, 1);
  EXPECT_EQ(block(1).line, "2N");
  EXPECT_EQ(model.reading_count(), 2);
  EXPECT_EQ(model.selected_node, 0);
  EXPECT_EQ(model.selected_block, 0);
}

TEST_F(ReaderTest, HostileBytesNeitherCrashNorHang) {
  std::string text = keyword_field_header("1N", "05/12/96");
  text += std::string("1 N \0\0 0 10:00:00\n", 18);
  text += "1 N 5 0 10:00:00\x1b\r";
  text += std::string(2'500'000, '9') + " N 5 0 10:00:00\r\n";
  text += "\xff\xfe\xfd S C I N T R E X \xe9\n\x80\x81\n";
  text += "SCINTREX\n\n\n";
  for (int i = 0; i < 3000; ++i) text += static_cast<char>((i * 7919) % 256);
  run_one(text);
  EXPECT_GE(model.block_count, 2);
  EXPECT_EQ(block(1).num_readings, 1);
  EXPECT_EQ(mags(1), (Floats{5.0f}));
}

TEST_F(ReaderTest, BaseBlocksWithoutAFieldAreNeitherComparedNorRemembered) {
  // The block without a field sits in a file of its own, between the two that have one,
  // so the remembered value has to cross files, also when they are read concurrently.
  const std::vector<DumpFile> list{
      file("a.dat", keyword_base_header("05/12/96", "30", "58001.0")),
      file("b.dat", keyword_header({"DATE____: 05/12/96", "LINE____: BS 1", "CYC_TIME: 30"}) +
                        fixed_base_header("05/12/96", "30 SEC", "C")),
      file("c.dat", keyword_base_header("05/12/96", "30", "58000.0"))};
  for (const unsigned jobs : {1u, 3u}) {
    op = RecordingOperator{};
    process_files(model, list, op, DateOrder::mdy, jobs);
    EXPECT_EQ(op.messages,
              std::vector<std::string>{
                  "The base station field value has changed from 58001.0 to 58000.0\rFile : c.dat Block : 1"})
        << jobs;
  }
}

TEST_F(ReaderTest, BaseFieldDropOfExactlyHalfIsNoChange) {
  // 58000.5 -> 58000.0 drops by exactly 0.5 (both exact in 32 bits): no message. A fixed
  // header whose "C" ends the value at its second character has a field (9).
  run_one(keyword_base_header("05/12/96", "30", "58000.5") + keyword_base_header("05/12/96", "30", "58000.0") +
          keyword_base_header("05/12/96", "30", "58000.5") + keyword_base_header("05/12/96", "30", "57999.99") +
          fixed_base_header("05/12/96", "30 SEC", "9"));
  EXPECT_EQ(op.messages, (std::vector<std::string>{
                             "The base station field value has changed from 58000.5 to 58000.0\rFile : a.dat Block : 4",
                             "The base station field value has changed from 58000.0 to 9.0\rFile : a.dat Block : 5"}));
}

TEST_F(ReaderTest, FixedHeaderGridFromColumnSeven) {
  // "GRID" at column 7 leaves an empty line name in a valid header; at column 6 the header
  // is invalid.
  run_one("SCINTREX\nMP-2 UNCORRECTED BASE FIELD: 1*\nLINE 1GRID DATE: 05/12/96\n" +
          fixed_field_line("000100N", "57000.0", "10:00:00") + "\n" +
          "SCINTREX\nMP-2 UNCORRECTED BASE FIELD: 1*\nLINE GRID  DATE: 05/12/96\n" +
          fixed_field_line("000100N", "57000.0", "10:00:00") + "\n");
  EXPECT_TRUE(model.block_checked(1));
  EXPECT_EQ(block(1).num_readings, 1);
  EXPECT_FALSE(model.block_checked(2));
}

TEST_F(ReaderTest, TwelveHoursBackIsTheSameDayAndMoreIsTheNext) {
  run_one(keyword_field_header("1N", "05/12/96") + "1 N 1 0 22:00:00\n2 N 1 0 10:00:00\n" +
          keyword_field_header("2N", "05/12/96") + "1 N 1 0 22:00:00\n2 N 1 0 09:59:59\n");
  EXPECT_EQ(times(1), (std::vector<double>{at(1996, 5, 12, 22, 0, 0), at(1996, 5, 12, 10, 0, 0)}));
  EXPECT_EQ(times(2), (std::vector<double>{at(1996, 5, 12, 22, 0, 0), at(1996, 5, 13, 9, 59, 59)}));
}

TEST_F(ReaderTest, ReadingsOutsideTheYears100To9999InvalidateTheirLineWhichIsNamed) {
  run_one(
      // The last second of 9999 is kept; a cycle that carries a reading to 10000 drops its line.
      keyword_base_header("12/31/9999", "59") + "23:58:00 1 1\n23:59:00 5 1\n23:59:01 7 0\n" +
      // The first second of the year 100 is kept, a cycle back from it drops the line.
      keyword_base_header("01/01/0100", "-60") + "00:00:00 5\n00:01:00 6 1 1\n" +
      // A field line carried past midnight into 10000 is dropped too.
      keyword_field_header("1N", "12/31/9999") + "1 N 1 0 23:00:00\n2 N 1 0 00:30:00\n3 N 1 0 23:30:00\n" +
      // A header dated before the year 100 is invalid.
      keyword_field_header("2N", "12/31/0099") + "1 N 1 0 10:00:00\n");
  EXPECT_EQ(times(1), (std::vector<double>{at(9999, 12, 31, 23, 58, 0), at(9999, 12, 31, 23, 58, 59),
                                           at(9999, 12, 31, 23, 59, 0), at(9999, 12, 31, 23, 59, 59)}));
  EXPECT_EQ(mags(1), (Floats{1, 2, 5, 6}));
  EXPECT_EQ(block(1).end_time, at(9999, 12, 31, 23, 59, 59));
  EXPECT_EQ(times(2), (std::vector<double>{at(100, 1, 1, 0, 0, 0)}));
  EXPECT_EQ(stations(3), (Floats{1, 3}));
  EXPECT_FALSE(model.block_checked(4));
  // The lines left out, by their number in the file (headers take seven lines each).
  EXPECT_EQ(op.messages,
            (std::vector<std::string>{"The file " + dir.dir() +
                                          "/a.dat: lines 10, 19 and 28 are left out, as readings of them would "
                                          "fall outside the years 100 to 9999",
                                      "Blocks whose date cannot be read as month/day/year have no "
                                      "readings:\r" +
                                          dir.dir() +
                                          "/a.dat: 1 date, the first \"12/31/0099\", "
                                          "which no order reads"}));
}

// The same dumps read in each choice of order: an automatic choice reads every date when one
// order can, and says so when that is not the regional order; dates not read are named.
TEST_F(ReaderTest, DatesAreReadInTheOrderThatReadsThemOrNamed) {
  const auto field = [](const std::string& date) { return keyword_field_header("1N", date) + "1 N 1 0 10:00:00\n"; };
  // Two base sessions of dates only month/day/year reads, whose base field drops: that
  // message is told once, whether or not the files are read again.
  const std::string mdy_bases = keyword_base_header("05/17/96", "30", "58000") + "10:00:00 1\n" +
                                keyword_base_header("05/17/96", "30", "57000") + "11:00:00 1\n";
  const std::string drop = "The base station field value has changed from 58000.0 to 57000.0\rFile : a.dat Block : 2";
  const double may17 = at(1996, 5, 17, 10, 0, 0), jul9 = at(1996, 7, 9, 10, 0, 0), sep7 = at(1996, 9, 7, 10, 0, 0);
  const auto not_read = [&](const std::string& order, const std::string& rest) {
    return "Blocks whose date cannot be read as " + order + " have no readings:\r" + dir.dir() + "/" + rest;
  };
  struct Case {
    std::vector<std::string> texts;  // a.dat, b.dat, ...
    DateOrder order, regional, used;
    std::vector<double> first_times;  // of each block, 0 for none
    std::string note;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      // Written month/day/year, read on a day/month/year desktop.
      {{mdy_bases},
       DateOrder::automatic,
       DateOrder::dmy,
       DateOrder::mdy,
       {may17, at(1996, 5, 17, 11, 0, 0)},
       "Dates read as month/day/year: 05/17/96 cannot be day/month",
       {drop}},
      {{mdy_bases},
       DateOrder::dmy,
       DateOrder::dmy,
       DateOrder::dmy,
       {0, 0},
       "",
       {drop, not_read("day/month/year", "a.dat: 2 dates, the first \"05/17/96\", which month/day/year reads")}},
      {{mdy_bases}, DateOrder::mdy, DateOrder::dmy, DateOrder::mdy, {may17, at(1996, 5, 17, 11, 0, 0)}, "", {drop}},
      {{mdy_bases},
       DateOrder::automatic,
       DateOrder::mdy,
       DateOrder::mdy,
       {may17, at(1996, 5, 17, 11, 0, 0)},
       "",
       {drop}},
      // Dates either order reads: the regional one.
      {{field("07/09/96")}, DateOrder::automatic, DateOrder::dmy, DateOrder::dmy, {sep7}, "", {}},
      {{field("07/09/96")}, DateOrder::automatic, DateOrder::mdy, DateOrder::mdy, {jul9}, "", {}},
      // No order reads them all: the one that reads most, and the rest named.
      {{field("05/17/96"), field("17/05/96"), field("07/09/96"), field("05/18/96")},
       DateOrder::automatic,
       DateOrder::dmy,
       DateOrder::mdy,
       {may17, 0, jul9, at(1996, 5, 18, 10, 0, 0)},
       "Dates read as month/day/year: no order reads every date; this one reads 3 of 4",
       {not_read("month/day/year", "b.dat: 1 date, the first \"17/05/96\", which day/month/year reads")}},
  };
  for (const Case& c : cases) {
    std::vector<DumpFile> list;
    for (std::size_t i = 0; i < c.texts.size(); ++i)
      list.push_back(file(std::string(1, static_cast<char>('a' + i)) + ".dat", c.texts[i]));
    for (const unsigned jobs : {1u, 3u}) {
      const std::string what = "case " + std::to_string(&c - cases) + ", jobs " + std::to_string(jobs);
      SurveyModel m;
      RecordingOperator o;
      ProcessingRun run(m, o, c.order, c.regional);
      run.start();
      run.read_files(list, jobs);
      run.finish();
      EXPECT_EQ(run.date_order(), c.used) << what;
      EXPECT_EQ(run.date_order_note(), c.note) << what;
      EXPECT_EQ(o.messages, c.messages) << what;
      std::vector<double> first_times;
      for (std::int32_t b = 1; b <= m.block_count; ++b)
        first_times.push_back(m.block(b).num_readings > 0 ? m.reading(m.block(b).first_reading).time : 0.0);
      EXPECT_EQ(first_times, c.first_times) << what;
    }
  }
}

TEST_F(ReaderTest, ManyLinesLeftOutAreCountedInOneMessage) {
  std::string lines;
  for (int i = 0; i < 12; ++i) lines += "23:59:59 1 1\n";
  run_one(keyword_base_header("12/31/9999", "1") + lines);
  EXPECT_EQ(op.messages, std::vector<std::string>{"The file " + dir.dir() +
                                                  "/a.dat: lines 8, 9, 10, 11, 12, 13, 14, 15, 16, 17 and 2 more are "
                                                  "left out, as readings of them would fall outside the years 100 to "
                                                  "9999"});
}

TEST_F(ReaderTest, UnreadableInputsAreCountedAndAFifoIsNotWaitedOn) {
  const DumpFile good = file("good.dat", keyword_field_header("1N", "05/12/96") + "1 N 1 0 10:00:00\n");
  std::filesystem::create_directories(dir.path() / "folder.dat");
  ASSERT_EQ(::mkfifo((dir.path() / "pipe.dat").c_str(), 0600), 0);
  const std::vector<DumpFile> list{DumpFile{"missing.dat", dir.dir()}, DumpFile{"folder.dat", dir.dir()},
                                   DumpFile{"pipe.dat", dir.dir()}, good};
  for (const unsigned jobs : {1u, 4u}) {
    op = RecordingOperator{};
    const ProcessingSummary summary = process_files(model, list, op, DateOrder::mdy, jobs);
    EXPECT_EQ(summary.unreadable_inputs, 3) << jobs;
    ASSERT_EQ(op.messages.size(), 3u);
    EXPECT_EQ(op.messages[2], "The file " + dir.dir() + "/pipe.dat could not be opened: it is not a regular file");
    EXPECT_EQ(model.block_count, 1);
  }
  EXPECT_EQ(process_files(model, {good}, op, DateOrder::mdy).unreadable_inputs, 0);
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANE_UNDER_ASAN
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define CORVANE_UNDER_ASAN
#endif
// AddressSanitizer reserves more address space than the test may give.
#ifndef CORVANE_UNDER_ASAN
TEST_F(ReaderTest, OutOfMemoryNamesTheFileAndTheRunGoesOn) {
  // 12 lines of 500,000 differences: 6 million readings, 96 MB of table, read in a child
  // process whose address space has 64 MB to spare.
  std::string big = keyword_base_header("05/12/96", "1");
  std::string line = "10:00:00 1";
  while (line.size() < LineReader::max_line - 2) line += " 1";
  for (int i = 0; i < 12; ++i) big += line + "\n";
  const std::vector<DumpFile> list{file("big.dat", big),
                                   file("good.dat", keyword_field_header("1N", "05/12/96") + "1 N 1 0 10:00:00\n")};
  big.clear();
  big.shrink_to_fit();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (64u << 20);
    const rlimit rl{limit, limit};
    ::setrlimit(RLIMIT_AS, &rl);
    // One thread: on several, how far the other files got when memory ran out would be a
    // matter of timing. Workers read each file through the same function.
    RecordingOperator child_op;
    SurveyModel child_model;
    const ProcessingSummary summary = process_files(child_model, list, child_op, DateOrder::mdy, 1);
    const bool ok = summary.unreadable_inputs == 1 && child_model.block_count == 1 &&
                    child_model.reading_count() == 1 &&
                    child_op.messages == std::vector<std::string>{"The file " + dir.dir() +
                                                                  "/big.dat could not be read to its end: there is "
                                                                  "not enough memory"};
    std::_Exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
#endif

namespace {

// Everything a run leaves behind, as text, for comparing two runs.
std::string run_record(const SurveyModel& m, const RecordingOperator& op) {
  std::string out;
  char row[256];
  std::snprintf(row, sizeof row, "%d %d %d %d\n", m.block_count, m.data_block_count, m.base_block_count, m.node_count);
  out += row;
  for (const Block& b : m.blocks) {
    std::snprintf(row, sizeof row, "block %d %d %d %a %a %d ", b.kind, b.node, b.first_reading, b.start_time,
                  b.end_time, b.num_readings);
    out += row + b.line + "\n";
  }
  for (const Reading& r : m.readings) {
    std::snprintf(row, sizeof row, "%a %a %a\n", r.time, static_cast<double>(r.station), static_cast<double>(r.mag));
    out += row;
  }
  for (std::int32_t i = 0; i < static_cast<std::int32_t>(m.nodes.size()); ++i) {
    const Node& n = m.nodes[static_cast<std::size_t>(i)];
    out += m.node_key(i) + "|" + m.node_text(i) + "|" + std::to_string(n.parent) + (n.checked ? "+" : "-") +
           std::to_string(n.colour) + "\n";
  }
  for (const std::int32_t b : m.node_block) out += std::to_string(b) + " ";
  for (const Match& x : m.match) out += std::to_string(x.base_block) + ":" + std::to_string(x.base_cover) + " ";
  for (const std::string& e : op.events) out += "\n" + e;
  return out;
}

}  // namespace

TEST_F(ReaderTest, ReadingOnEveryCoreGivesTheOneThreadRun) {
  // The samples, the fuzz corpus and generated days in both layouts, with unreadable
  // inputs and base-field drops across files among them.
  std::vector<DumpFile> list;
  const std::filesystem::path samples = CORVANE_SAMPLES_DIR;
  for (const char* name : {"envimag_0709.dat", "mp2_0710.dat"}) list.push_back(DumpFile{name, samples.string()});
  std::vector<std::filesystem::path> corpus;
  for (const auto& e : std::filesystem::directory_iterator(samples.parent_path() / "bench/survey_app/fuzz_corpus"))
    corpus.push_back(e.path());
  std::sort(corpus.begin(), corpus.end());
  for (const auto& p : corpus) list.push_back(DumpFile{p.filename().string(), p.parent_path().string()});
  list.push_back(DumpFile{"missing.dat", dir.dir()});
  list.push_back(file("drop.dat", keyword_base_header("05/12/96", "30", "57000.0")));
  bench::DumpGenerator generator;
  for (const std::string& p : generator.write(dir.dir(), 3'000'000, 150'000).paths)
    list.push_back(DumpFile{std::filesystem::path(p).filename().string(), dir.dir()});
  list.push_back(file("rise_then_drop.dat",
                      keyword_base_header("05/12/96", "30", "1.0") + keyword_base_header("05/12/96", "30", "0.25")));

  process_files(model, list, op, DateOrder::mdy, 1);
  const std::string one_thread = run_record(model, op);
  EXPECT_GT(model.reading_count(), 50000);
  EXPECT_GE(op.messages.size(), 2u);
  for (const unsigned jobs : {2u, 3u, 16u}) {
    RecordingOperator many_op;
    SurveyModel many;
    process_files(many, list, many_op, DateOrder::mdy, jobs);
    EXPECT_EQ(run_record(many, many_op), one_thread) << jobs << " jobs";
  }
}

TEST_F(ReaderTest, MarksAreFoundAtEveryPlaceOfALine) {
  // A field line and a base line with a searched text (or one that falls just short of
  // it) moved along the line, across every place of the words the search reads at once.
  std::string field_lines, base_lines;
  int kept_field = 0, kept_base = 0;
  for (std::size_t gap = 1; gap < 40; ++gap) {
    for (const char* tail : {"STAT", "stat", "----", "TIME", "---", "Tim", "-", "sta"}) {
      const std::string text(tail);
      field_lines += "100 N 57000.0 0.05 10:00:00" + std::string(gap, ' ') + text + "\n";
      // In field lines "TIME" is no reason to skip; "STAT" and "----" are.
      if (text != "STAT" && text != "stat" && text != "----") ++kept_field;
      // In base lines "TIME" is one too; the tail, no number, ends the line's readings.
      base_lines += "10:00:00 58000.0" + std::string(gap, ' ') + text + "\n";
      if (text != "STAT" && text != "stat" && text != "----" && text != "TIME") ++kept_base;
    }
  }
  run_one(keyword_field_header("100", "05/12/96") + field_lines + keyword_base_header("05/12/96") + base_lines);
  ASSERT_EQ(model.block_count, 2);
  EXPECT_EQ(block(1).num_readings, kept_field);
  EXPECT_EQ(block(2).num_readings, kept_base);

  // A marker at the same places starts a block.
  std::string blocks;
  for (std::size_t gap = 0; gap < 40; ++gap)
    blocks += std::string(gap, ' ') +
              (gap % 2 ? fixed_field_header("100", "05/12/96") : keyword_field_header("100", "05/12/96")) +
              "100 N 57000.0 0.05 10:00:00\n";
  run_one(blocks);
  EXPECT_EQ(model.block_count, 40);
  EXPECT_EQ(model.data_block_count, 40);
}

TEST(DumpFileList, ASecondFileOfTheSameNameIsPassedOverAndNamed) {
  DumpFileList list;
  EXPECT_TRUE(list.add({"mag.dat", "/day1"}));
  EXPECT_TRUE(list.add({"base.dat", "/day1"}));
  EXPECT_FALSE(list.add({"mag.dat", "/day1"}));  // the same file again is no news
  EXPECT_EQ(list.take_passed_over_message(), "");
  EXPECT_FALSE(list.add({"mag.dat", "/day2"}));
  EXPECT_FALSE(list.add({"base.dat", "/day2/"}));
  EXPECT_EQ(list.take_passed_over_message(),
            "These files were not added: a file of the same name is already listed.\n"
            "/day2/mag.dat (listed: /day1/mag.dat)\n/day2/base.dat (listed: /day1/base.dat)");
  EXPECT_EQ(list.take_passed_over_message(), "");
  list.remove("mag.dat");
  EXPECT_TRUE(list.add({"mag.dat", "/day2"}));
  EXPECT_EQ(list.files().size(), 2u);
  EXPECT_EQ(list.files()[1].directory, "/day2");
}
