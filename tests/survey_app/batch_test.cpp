// corvane-batch as a user runs it: the real binary on files on disk.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "batch_runner.h"
#include "dump_fixture.h"

using namespace corvane::test;

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

const std::string samples = CORVANE_SAMPLES_DIR;

}  // namespace

// One row per field line; the samples' second day starts an hour before its base session,
// which the clock hints name.
TEST(Batch, QualityControlOfTheSamples) {
  TempDir dir;
  const Result r =
      run_batch("--date-order mdy --qc " + samples + "/envimag_0709.dat " + samples + "/mp2_0710.dat", dir);
  ASSERT_EQ(r.code, 0) << r.err;
  const auto out = lines(r.out);
  ASSERT_EQ(out.size(), 14u);
  EXPECT_EQ(out[0].substr(0, 15), "line\tfile\tblock");
  EXPECT_EQ(out[1], "100N\tenvimag_0709.dat\t2\t13\t0.0\t300.0\tincreasing\t100.0\t0\t0.0\t0\t0");
  EXPECT_EQ(out[13], "100E\tmp2_0710.dat\t17\t6\t350.0\t600.0\tincreasing\t0.0\t0\t0.0\t0\t1");
  EXPECT_NE(r.err.find("Line 100E has no base session covering it; one would with the base clock 1 h behind the rover"),
            std::string::npos)
      << r.err;
}

// --base-shift gives what the same dump with its base times moved gives: the base lines of
// the keyword layout begin with the time of their first reading.
TEST(Batch, ABaseShiftIsTheBaseMovedInTheDump) {
  TempDir dir;
  std::ifstream in(samples + "/envimag_0709.dat", std::ios::binary);
  std::string moved, line;
  bool in_base = false;
  while (std::getline(in, line)) {
    if (line.starts_with("S C I N T R E X")) in_base = false;
    if (in_base && line.size() > 8 && line[2] == ':' && line[5] == ':') {
      const int seconds =
          std::stoi(line.substr(0, 2)) * 3600 + std::stoi(line.substr(3, 2)) * 60 + std::stoi(line.substr(6, 2)) + 37;
      char time[16];
      std::snprintf(time, sizeof time, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
      line.replace(0, 8, time);
    }
    if (line.starts_with("   TIME       MAG")) in_base = true;
    moved += line + "\n";
  }
  std::filesystem::create_directory(dir.path() / "moved");
  dir.write("moved/envimag_0709.dat", moved);
  const Result shifted = run_batch("--date-order mdy --base-shift 37 --xyz " + dir.dir() +
                                       "/a.xyz --base-field 57500 " + samples + "/envimag_0709.dat",
                                   dir);
  ASSERT_EQ(shifted.code, 0) << shifted.err;
  EXPECT_NE(shifted.err.find("The base times were moved by +37 s before matching"), std::string::npos);
  ASSERT_EQ(run_batch("--date-order mdy --xyz " + dir.dir() + "/b.xyz --base-field 57500 " + dir.dir() +
                          "/moved/envimag_0709.dat",
                      dir)
                .code,
            0);
  ASSERT_EQ(
      run_batch("--date-order mdy --xyz " + dir.dir() + "/c.xyz --base-field 57500 " + samples + "/envimag_0709.dat",
                dir)
          .code,
      0);
  EXPECT_EQ(dir.read("a.xyz"), dir.read("b.xyz"));
  EXPECT_NE(dir.read("a.xyz"), dir.read("c.xyz")) << "the base values at the moved times differ";
}

TEST(Batch, TreeOfTheSamples) {
  TempDir dir;
  const Result r =
      run_batch("--date-order mdy --tree " + samples + "/envimag_0709.dat " + samples + "/mp2_0710.dat", dir);
  ASSERT_EQ(r.code, 0) << r.err;
  const auto out = lines(r.out);
  ASSERT_EQ(out.size(), 19u);
  EXPECT_EQ(out[0], "1\tenvimag_0709.dat\tenvimag_0709.dat\t1\t-");
  EXPECT_EQ(out[1], "2\tfileenvimag_0709.datblock0001\t0001 Base 07/09/96 Line BS1\t1\t-");
  EXPECT_EQ(out[2], "3\tfileenvimag_0709.datblock0002\t0002 Data 07/09/96 Line 100N\t1\tgreen");
  // The yard test reading: no line name, so the block is not in use.
  EXPECT_EQ(out[8], "9\tfileenvimag_0709.datblock0008\t0008 Data 07/09/96 Line \t0\t-");
  EXPECT_EQ(out[14], "15\tfilemp2_0710.datblock0005\t0005 Data 07/10/96 Line 550N\t1\tblue");
  EXPECT_EQ(out[18], "19\tfilemp2_0710.datblock0009\t0009 Data 07/10/96 Line 100E\t1\tred");
  EXPECT_EQ(r.err, "");
}

TEST(Batch, BlocksAndReadingsTables) {
  TempDir dir;
  dir.write("day.dat", keyword_base_header("05/12/96") + "10:00:00 58000.0 1.5 -0.5\n" +
                           keyword_field_header("0 +", "05/12/96") +
                           "200 N 57321.4 0 10:00:10\n0150 S 57300 0 10:00:40\n");
  const Result b = run_batch("--date-order mdy --blocks " + dir.dir() + "/day.dat", dir);
  ASSERT_EQ(b.code, 0);
  EXPECT_EQ(lines(b.out),
            (std::vector<std::string>{
                "block\tkind\tnode\tfirst_reading\tnum_readings\tstart_time\tend_time\tline\tbase_block\tbase_cover",
                "1\t0\t2\t1\t3\t1996/05/12 10:00:00\t1996/05/12 10:01:00\tBS1\t0\t0",
                "2\t1\t3\t4\t2\t1996/05/12 10:00:10\t1996/05/12 10:00:40\t0N\t1\t100"}));
  const Result r = run_batch("--date-order mdy --readings " + dir.dir() + "/day.dat", dir);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(lines(r.out), (std::vector<std::string>{
                              "reading\tblock\ttime\tstation\tmag", "1\t1\t1996/05/12 10:00:00\t0\t58000",
                              "2\t1\t1996/05/12 10:00:30\t0\t58001.5", "3\t1\t1996/05/12 10:01:00\t0\t58001",
                              "4\t2\t1996/05/12 10:00:40\t-150\t57300", "5\t2\t1996/05/12 10:00:10\t200\t57321.4"}));
  // Day and month the other way round: the same text is 5 December.
  const Result d = run_batch("--date-order dmy --readings " + dir.dir() + "/day.dat", dir);
  EXPECT_EQ(lines(d.out)[1], "1\t1\t1996/12/05 10:00:00\t0\t58000");
}

TEST(Batch, DuplicateNamesAndMessagesInOrder) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "other");
  dir.write("a.dat",
            keyword_base_header("05/12/96", "30", "58001.0") + keyword_base_header("05/12/96", "30", "58000.0"));
  dir.write("other/a.dat", "not read");
  dir.write("notes.txt", "no dump\n");
  const Result r = run_batch("--date-order mdy --tree " + dir.dir() + "/a.dat " + dir.dir() + "/other/a.dat " +
                                 dir.dir() + "/missing.dat " + dir.dir() + "/notes.txt",
                             dir);
  ASSERT_EQ(r.code, 3);  // the missing file: the run goes on, and says so in its status
  const auto out = lines(r.out);
  ASSERT_EQ(out.size(), 5u);
  EXPECT_EQ(out[3], "4\tmissing.dat\tmissing.dat\t0\t-");
  EXPECT_EQ(r.err, "This file was not added: a file of the same name is already listed.\n" + dir.dir() +
                       "/other/a.dat (listed: " + dir.dir() +
                       "/a.dat)\n"
                       "The base station field value has changed from 58001.0 to 58000.0\nFile : a.dat Block : 2\n"
                       "The file " +
                       dir.dir() + "/missing.dat could not be opened: No such file or directory\n" +
                       "No block was found in " + dir.dir() + "/notes.txt\n");
}

TEST(Batch, BadUsageExitsWithTwo) {
  TempDir dir;
  for (const char* args : {"", "--tree", "--date-order xyz --tree a", "--date-order", "--frobnicate --tree a", "a.dat",
                           // A second value would silently win.
                           "--xyz a.xyz --base-field 1 --base-field 2 a.dat", "--map a.png --map b.png a.dat"}) {
    const Result r = run_batch(args, dir);
    EXPECT_EQ(r.code, 2) << args;
    EXPECT_NE(r.err.find("usage: corvane-batch"), std::string::npos) << args;
    EXPECT_EQ(r.out, "") << args;
  }
  EXPECT_EQ(run_batch("--help", dir).code, 0);
}

TEST(Batch, XyzExport) {
  TempDir dir;
  const std::string files = samples + "/envimag_0709.dat " + samples + "/mp2_0710.dat";
  const std::string out = dir.dir() + "/day.xyz";
  Result r = run_batch("--date-order mdy --xyz " + out + " --base-field 57500 " + files, dir);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "Export complete\n12 lines and 163 readings written to " + out +
                       "\nLeft out, no base session covers line 100E: File : mp2_0710.dat Block : 9\n");
  const std::string first = dir.read("day.xyz");
  // 9 head lines; the keyword day's 6 lines and the fixed day's 7 covered lines (100E
  // has no base session) with their readings.
  std::size_t rows = 0, blocks = 0;
  for (const auto& l : lines(first)) {
    if (l.rfind("/Line", 0) == 0)
      ++blocks;
    else if (!l.empty() && l[0] != '/')
      ++rows;
  }
  EXPECT_EQ(blocks, 12u);
  EXPECT_EQ(rows, 13u + 17 + 17 + 13 + 12 + 13 + 13 * 6);

  // The file is there: without --overwrite it is kept.
  r = run_batch("--date-order mdy --xyz " + out + " --base-field 57500 --export-all " + files, dir);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "The specified data file already exists: " + out + ". Overwrite? Cancel\n");
  EXPECT_EQ(dir.read("day.xyz"), first);

  // Unticking the afternoon base session leaves its lines without a base: with
  // --export-all they are written uncorrected; the tree shows them red.
  r = run_batch("--date-order mdy --xyz " + out +
                    " --base-field 57500 --export-all --overwrite "
                    "--uncheck filemp2_0710.datblock0006 --tree " +
                    files,
                dir);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "The specified data file already exists: " + out +
                       ". Overwrite? OK\nExport complete\n13 lines and 169 readings "
                       "written to " +
                       out + "\n");
  const auto tree = lines(r.out);
  EXPECT_EQ(tree[15], "16\tfilemp2_0710.datblock0006\t0006 Base 07/10/96 Line BS1\t0\t-");
  EXPECT_EQ(tree[16], "17\tfilemp2_0710.datblock0007\t0007 Data 07/10/96 Line 600N\t1\tred");
  const std::string second = dir.read("day.xyz");
  EXPECT_NE(second.find("/Line       600N\r\n      600.0        0.0      600.0    "), std::string::npos);
  EXPECT_NE(second.find("          * "), std::string::npos);
}

// Dumps written day/month/year on a desktop whose regional order is month/day/year: read
// right by default, with the reason said; named, and an export of nothing failing, when the
// order is given.
TEST(Batch, DatesInAnotherOrderAreReadOrNamed) {
  TempDir dir;
  const std::string day =
      dir.write("day.dat", keyword_field_header("100N", "17/05/96") + "1 N 57000 0 10:00:00\n2 N 57001 0 10:01:00\n");
  const std::string out = dir.dir() + "/day.xyz";
  const char* const kept = std::getenv("LC_ALL");
  const std::string keep = kept ? kept : "";
  setenv("LC_ALL", "C", 1);
  const Result read = run_batch("--xyz " + out + " --base-field 57500 --export-all " + day, dir);
  const Result named =
      run_batch("--date-order mdy --xyz " + out + " --base-field 57500 --export-all --overwrite " + day, dir);
  if (kept)
    setenv("LC_ALL", keep.c_str(), 1);
  else
    unsetenv("LC_ALL");
  EXPECT_EQ(read.code, 0);
  EXPECT_EQ(read.err,
            "Dates read as day/month/year: 17/05/96 cannot be month/day\nExport complete\n1 line and 2 "
            "readings written to " +
                out + "\n");
  EXPECT_EQ(named.code, 1);
  EXPECT_EQ(named.err, "Blocks whose date cannot be read as month/day/year have no readings:\n" + day +
                           ": 1 date, the first \"17/05/96\", which day/month/year reads\nThe specified data file "
                           "already exists: " +
                           out +
                           ". Overwrite? OK\nExport complete\n0 lines and 0 readings "
                           "written to " +
                           out + "\nNo reading was written to " + out + ": no reading was read from the dump files\n");
  // The file is there all the same, its head only.
  EXPECT_NE(dir.read("day.xyz"), "");
}

TEST(Batch, XyzFailuresAndUsage) {
  TempDir dir;
  const std::string file = samples + "/mp2_0710.dat";
  Result r = run_batch("--xyz " + dir.dir() + "/no/such/dir/a.xyz --base-field 0 " + file, dir);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("An error occurred while exporting the data: could not create"), std::string::npos);
  r = run_batch("--xyz " + dir.dir() + "/a.xyz --base-field abc " + file, dir);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err,
            "The base field value is not valid: give a number below 1,000,000 nT, without thousands separators\n");
  r = run_batch("--xyz " + dir.dir() + "/a.xyz --base-field 0 --uncheck nosuchkey " + file, dir);
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "No node of the block tree has the key nosuchkey\n");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "a.xyz"));
  EXPECT_EQ(run_batch("--xyz a.xyz " + file, dir).code, 2);
  EXPECT_EQ(run_batch("--base-field 3 --tree " + file, dir).code, 2);
  EXPECT_EQ(run_batch("--tree --uncheck", dir).code, 2);
}

TEST(Batch, GraphsOfANode) {
  TempDir dir;
  const std::string files = samples + "/envimag_0709.dat " + samples + "/mp2_0710.dat";
  const Result r = run_batch("--date-order mdy --graphs fileenvimag_0709.datblock0002 " + files, dir);
  ASSERT_EQ(r.code, 0) << r.err;
  const auto out = lines(r.out);
  ASSERT_EQ(out.size(), 1u + 3 * (2 + 13));
  EXPECT_EQ(out[0], "text\t100N\t13\t08:25:00\t08:44:07");
  EXPECT_EQ(out[1], "graph\t0\tRaw Mag Data\t13");
  EXPECT_EQ(out[2], "axes\t50\t0\t300\t200\t57200\t58200");
  EXPECT_EQ(out[3], "point\t0\t57317.4");
  EXPECT_EQ(out[16], "graph\t1\tBase Station Data\t13");
  EXPECT_EQ(out[31], "graph\t2\tCorrected Data\t13");
  // Unticking the base session leaves the line without one: only the raw graph.
  const Result alone = run_batch(
      "--date-order mdy --uncheck fileenvimag_0709.datblock0001 --graphs fileenvimag_0709.datblock0002 " + files, dir);
  EXPECT_EQ(lines(alone.out).size(), 1u + 2 + 13);
  const Result unknown = run_batch("--date-order mdy --graphs nosuch " + files, dir);
  EXPECT_EQ(unknown.code, 1);
  EXPECT_EQ(unknown.err, "No node of the block tree has the key nosuch\n");
}

namespace {

// Exit status and stderr of corvane-batch with its stdout sent on by `tail` (a shell
// redirection or pipe).
Result run_batch_into(const std::string& args, const std::string& tail, const TempDir& dir) {
  const std::string cmd = std::string(CORVANE_BATCH) + " " + args + " 2>" + (dir.path() / "stderr.txt").string() +
                          tail + "; echo -n ${PIPESTATUS[0]} >" + (dir.path() / "code.txt").string();
  Result r;
  if (std::system(("bash -c '" + cmd + "'").c_str()) != 0) return r;
  r.code = std::stoi(dir.read("code.txt"));
  r.err = dir.read("stderr.txt");
  return r;
}

TEST(Batch, OutputThatCannotBeWrittenIsAnError) {
  TempDir dir;
  // More readings than a pipe holds, so the write after the reader has gone fails.
  std::string text = fixed_field_header("100N", "07/09/25");
  for (int i = 0; i < 4000; ++i) text += fixed_field_line(std::to_string(i), "58123.4", "10:00:00") + "\n";
  const std::string file = dir.write("big.dat", text);
  for (const std::string& tail : {std::string(" >/dev/full"), std::string(" | true")}) {
    const Result r = run_batch_into("--date-order mdy --readings " + file, tail, dir);
    EXPECT_EQ(r.code, 4) << tail;
    EXPECT_NE(r.err.find("the output could not be written"), std::string::npos) << tail << r.err;
  }
  EXPECT_EQ(run_batch_into("--date-order mdy --readings " + file, " >/dev/null", dir).code, 0);
}

TEST(Batch, AnExportOverAnInputIsRefused) {
  TempDir dir;
  const std::string day =
      dir.write("day.dat", fixed_field_header("1N", "07/09/25") + fixed_field_line("1", "58123.4", "10:00:00") + "\n");
  const std::string before = dir.read("day.dat");
  for (const std::string option : {"--xyz", "--oasis"}) {
    const Result r = run_batch("--date-order mdy --overwrite " + option + " " + day + " --base-field 0 " + day, dir);
    EXPECT_EQ(r.code, 2) << option;
    EXPECT_EQ(dir.read("day.dat"), before) << option;
  }
}

}  // namespace

TEST(Batch, TwoExportsToOneNewNameKeepOneWholeFile) {
  TempDir dir;
  // Enough readings that two runs started together are writing at the same time.
  std::string text;
  for (int line = 1; line <= 10; ++line) {
    text += fixed_field_header(std::to_string(line) + "N", "07/09/25");
    for (int i = 0; i < 10'000; ++i) text += fixed_field_line(std::to_string(i), "58123.4", "10:00:00") + "\n";
  }
  const std::string day = dir.write("day.dat", text);
  const auto export_to = [&](const std::string& name, int base) {
    return "--date-order mdy --export-all --base-field " + std::to_string(base) + " --xyz " + dir.dir() + "/" + name +
           " " + day;
  };
  std::string whole[3];
  for (const int base : {1, 2}) {
    ASSERT_EQ(run_batch(export_to("alone.xyz", base), dir).code, 0);
    whole[base] = dir.read("alone.xyz");
    std::filesystem::remove(dir.path() / "alone.xyz");
  }
  const std::string declined = "The specified data file already exists: " + dir.dir() + "/day.xyz. Overwrite? Cancel\n";
  for (int round = 0; round < 2; ++round) {
    std::string both;
    for (const int base : {1, 2})
      both += "{ " + std::string(CORVANE_BATCH) + " " + export_to("day.xyz", base) + " 2>" + dir.dir() + "/err" +
              std::to_string(base) + "; echo -n $? >" + dir.dir() + "/code" + std::to_string(base) + "; } & ";
    ASSERT_EQ(std::system(("bash -c '" + both + "wait'").c_str()), 0);
    const int winner = dir.read("code1") == "0" ? 1 : 2, loser = 3 - winner;
    EXPECT_EQ(dir.read("code" + std::to_string(winner)), "0") << round;
    EXPECT_EQ(dir.read("code" + std::to_string(loser)), "1") << round;
    EXPECT_EQ(dir.read("err" + std::to_string(winner)).rfind("Export complete\n", 0), 0u) << round;
    EXPECT_EQ(dir.read("err" + std::to_string(loser)), declined) << round;
    EXPECT_TRUE(dir.read("day.xyz") == whole[winner]) << round;
    std::filesystem::remove(dir.path() / "day.xyz");
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
}

TEST(Batch, QualityOptionsRefuseBadValues) {
  TempDir dir;
  const std::string day = dir.write("day.dat", keyword_field_header("100N", "05/12/96") + "1 N 57000 0 10:00:00\n");
  const struct {
    std::string args, problem;
  } cases[] = {
      {"--despike-window 2", "--despike-window needs a whole number of 3 or more, not \"2\""},
      {"--despike-window 4.5", "--despike-window needs a whole number of 3 or more, not \"4.5\""},
      {"--despike-tolerance 0", "--despike-tolerance needs a number of nT above 0, not \"0\""},
      {"--despike-tolerance -1", "--despike-tolerance needs a number of nT above 0, not \"-1\""},
      {"--diurnal-limit 5", "--diurnal-limit needs NT/MINUTES, two numbers above 0 such as 5/2, not \"5\""},
      {"--diurnal-limit 5/0", "--diurnal-limit needs NT/MINUTES, two numbers above 0 such as 5/2, not \"5/0\""},
      {"--diurnal-limit 0/2", "--diurnal-limit needs NT/MINUTES, two numbers above 0 such as 5/2, not \"0/2\""},
      {"--despike", "--despike goes with --xyz, --oasis or --grid"},
  };
  for (const auto& c : cases) {
    const Result r = run_batch("--date-order mdy --qc " + c.args + " " + day, dir);
    EXPECT_EQ(r.code, 2) << c.args;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "corvane-batch: " + c.problem) << c.args;
  }
  EXPECT_EQ(
      run_batch("--date-order mdy --qc --despike-window 3 --despike-tolerance 0.5 --diurnal-limit 0.1/0.5 " + day, dir)
          .code,
      0);
}

// The base departs 6 nT from the chord over 10:04 .. 10:06 while line 100N is read: a limit
// of 6 nT does not mark it, one just below does.
TEST(Batch, TheDiurnalLimitMarksTheLinesOverIt) {
  TempDir dir;
  std::string base = keyword_base_header("05/12/96", "60");
  for (int i = 0; i < 10; ++i) base += "10:0" + std::to_string(i) + ":00 " + (i == 5 ? "58006.0" : "58000.0") + "\n";
  const std::string day = dir.write(
      "day.dat", base + keyword_field_header("100N", "05/12/96") + "1 N 57000 0 10:04:30\n2 N 57001 0 10:05:30\n");
  const std::string marked = "Line 100N was surveyed while the base changed";
  for (const auto& [limit, marks] : {std::pair{"6/2", false}, {"5.9/2", true}}) {
    // A tolerance no bend reaches: the lone reading is no spike, which the check would leave out.
    const Result r = run_batch(
        "--date-order mdy --qc --despike-tolerance 100 --diurnal-limit " + std::string(limit) + " " + day, dir);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err.find(marked) != std::string::npos, marks) << limit << "\n" << r.err;
  }
}

// The base shift is said once: in the export's message, or on its own when no export ran.
TEST(Batch, TheBaseShiftIsSaidOnce) {
  TempDir dir;
  const std::string moved = "The base times were moved by -60 s before matching";
  const std::string files = samples + "/envimag_0709.dat";
  for (const std::string& run : {"--xyz " + dir.dir() + "/a.xyz --base-field 57500 --despike", std::string("--qc")}) {
    const Result r = run_batch("--date-order mdy --base-shift -60 " + run + " " + files, dir);
    ASSERT_EQ(r.code, 0) << r.err;
    const std::size_t at = r.err.find(moved);
    ASSERT_NE(at, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(moved, at + 1), std::string::npos) << r.err;
  }
  const Result exported = run_batch(
      "--date-order mdy --base-shift -60 --xyz " + dir.dir() + "/b.xyz --base-field 57500 --despike " + files, dir);
  EXPECT_NE(exported.err.find(" written to " + dir.dir() + "/b.xyz\n" + moved + "\nSpikes left out: "),
            std::string::npos)
      << exported.err;
}
