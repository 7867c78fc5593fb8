#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "reader/dump_reader.h"
#include "reader/line_reader.h"
#include "temp_dir.h"

using namespace corvane;

namespace {
std::vector<std::string> all_lines(LineReader& in) {
  std::vector<std::string> out;
  std::string line;
  while (in.next(line)) out.push_back(line);
  return out;
}
std::vector<std::string> lines_of(const std::string& text) {
  LineReader in(text);
  return all_lines(in);
}
}  // namespace

TEST(LineReader, EveryKindOfLineEnd) {
  EXPECT_EQ(lines_of("a\nb\r\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(lines_of("a\n"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(lines_of("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(lines_of("a\n\rb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(lines_of(""), std::vector<std::string>{});
  EXPECT_EQ(lines_of("\n"), std::vector<std::string>{""});
}

TEST(LineReader, KeepsNulAndHighBytes) {
  const std::string text("x\0y\n\xff\xfe\n", 7);
  const auto lines = lines_of(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string("x\0y", 3));
  EXPECT_EQ(lines[1], "\xff\xfe");
}

TEST(LineReader, CutsOverlongLinesAndCarriesOn) {
  const std::string text = std::string(3 * LineReader::max_line + 5, 'x') + "\nnext\n";
  const auto lines = lines_of(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), LineReader::max_line);
  EXPECT_EQ(lines[1], "next");
}

TEST(LineReader, FilesAcrossBufferBoundaries) {
  test::TempDir dir;
  // CR LF pairs split across the reader's buffer, and lines that span several buffers.
  std::string text;
  std::vector<std::string> expected;
  for (int i = 0; i < 40000; ++i) {
    std::string line(static_cast<std::size_t>(i % 97) + 1, static_cast<char>('a' + i % 26));
    expected.push_back(line);
    text += line + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\r" : "\n");
  }
  const std::string path = dir.write("big.txt", text);
  LineReader in(std::fopen(path.c_str(), "rb"));
  EXPECT_EQ(all_lines(in), expected);
  EXPECT_TRUE(in.at_end());
  EXPECT_FALSE(in.failed());
}

TEST(LineReader, AtEndAfterTheLastLine) {
  LineReader in(std::string_view("a\r\n"));
  EXPECT_FALSE(in.at_end());
  std::string line;
  EXPECT_TRUE(in.next(line));
  EXPECT_TRUE(in.at_end());
  EXPECT_FALSE(in.next(line));
}

TEST(ReadNonblankLine, SkipsBlankLinesAndReturnsTheLastAtTheEnd) {
  {
    LineReader in(std::string_view("\n   \n  x  \ny"));
    EXPECT_EQ(read_nonblank_line(in), "  x  ");
    EXPECT_EQ(read_nonblank_line(in), "y");
    EXPECT_EQ(read_nonblank_line(in), std::nullopt);
  }
  {
    LineReader in(std::string_view("\n  \n"));
    EXPECT_EQ(read_nonblank_line(in), "");  // the last line read, blank
    EXPECT_TRUE(in.at_end());
  }
  {
    // A tab is not a space: the line counts as not blank.
    LineReader in(std::string_view("\t\nx"));
    EXPECT_EQ(read_nonblank_line(in), "\t");
  }
}

TEST(LineReader, OverlongLinesOfAFileAndLoneCarriageReturns) {
  test::TempDir dir;
  // A line over three buffers long, cut to max_line, then lines ended by CR alone (whose
  // next LF is never found) on both sides of a buffer boundary.
  std::string text = std::string(3 * LineReader::max_line + 5, 'x') + "\r";
  std::vector<std::string> expected{std::string(LineReader::max_line, 'x')};
  for (int i = 0; i < 30000; ++i) {
    expected.push_back(std::to_string(i));
    text += std::to_string(i) + "\r";
  }
  const std::string path = dir.write("cr.txt", text);
  LineReader in(std::fopen(path.c_str(), "rb"));
  EXPECT_EQ(all_lines(in), expected);
}

TEST(LineReader, AReadErrorPartWayIsReported) {
  // A file whose second read fails.
  static int reads;
  reads = 0;
  cookie_io_functions_t io{};
  io.read = [](void*, char* buf, std::size_t size) -> ssize_t {
    if (reads++ > 0) return -1;
    const std::string first = "a\nb\n";
    const std::size_t n = std::min(size, first.size());
    first.copy(buf, n);
    return static_cast<ssize_t>(n);
  };
  LineReader in(fopencookie(nullptr, "r", io));
  EXPECT_EQ(all_lines(in), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(in.failed());
}

TEST(LineReader, LineEndsAtEveryPlaceOfAWord) {
  // Lines of every length up to past two vector widths, each end in every form.
  std::string text;
  std::vector<std::string> expected;
  for (std::size_t size = 0; size < 40; ++size) {
    for (const char* end : {"\n", "\r", "\r\n"}) {
      std::string line;
      for (std::size_t k = 0; k < size; ++k) line.push_back(static_cast<char>('a' + (size + k) % 26));
      text += line + end;
      expected.push_back(line);
    }
  }
  for (std::size_t skip = 0; skip < 17; ++skip) {  // every alignment of the text
    std::vector<std::string> want(expected.begin() + static_cast<std::ptrdiff_t>(skip), expected.end());
    std::size_t from = 0;
    for (std::size_t k = 0; k < skip; ++k) from += expected[k].size() + (k % 3 == 2 ? 2 : 1);
    EXPECT_EQ(lines_of(text.substr(from)), want) << skip;
  }
}
