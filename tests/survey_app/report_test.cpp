// The tables corvane-batch prints, through the real binary.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <string>

#include "dump_fixture.h"

using namespace corvane::test;

namespace {

// The standard output of corvane-batch run on `args`, each already quoted for the shell.
std::string batch_output(const std::string& args) {
  std::string out;
  FILE* p = popen((std::string(CORVANE_BATCH) + " " + args + " 2>/dev/null").c_str(), "r");
  if (!p) return out;
  std::array<char, 4096> buf{};
  for (std::size_t n; (n = fread(buf.data(), 1, buf.size(), p)) > 0;) out.append(buf.data(), n);
  pclose(p);
  return out;
}

}  // namespace

TEST(BatchTables, TabsLineEndsAndBackslashesInNamesAreEscaped) {
  TempDir dir;
  // A file name with a tab, a line feed, a carriage return and a backslash, and a line
  // name with a tab (the fixed layout keeps it).
  const std::string name = "a\tb\nc\rd\\e.dat";
  const std::string path = dir.write(name, fixed_field_header("1\t2", "05/12/96"));
  const std::string escaped = "a\\tb\\nc\\rd\\\\e.dat";
  // The key as --tree prints it is the key --uncheck takes.
  const std::string out =
      batch_output("--date-order mdy --tree --blocks --uncheck 'file" + escaped + "block0001' '" + path + "'");
  EXPECT_EQ(out, "1\t" + escaped + "\t" + escaped + "\t1\t-\n" +                                                   //
                     "2\tfile" + escaped + "block0001\t0001 Data 05/12/96 Line 1\\t2\t0\t-\n" +                    //
                     "block\tkind\tnode\tfirst_reading\tnum_readings\tstart_time\tend_time\tline\tbase_block\t" +  //
                     "base_cover\n" +                                                                              //
                     "1\t1\t2\t1\t0\t1899/12/30 00:00:00\t1899/12/30 00:00:00\t1\\t2\t0\t0\n");
}
