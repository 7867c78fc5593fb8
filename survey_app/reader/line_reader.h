#pragma once
// Reads text lines from a file or from memory. CR, LF and CR LF all end a line; bytes are
// kept as they are (NUL and non-ASCII included). A line longer than max_line keeps its
// first max_line bytes and the rest of it is passed over, so memory stays bounded on any
// input.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

class LineReader {
public:
  static constexpr std::size_t max_line = 1u << 20;

  // Reads from an open file; the reader closes it.
  explicit LineReader(std::FILE* file);
  // Reads from a text held by the caller for the reader's lifetime.
  explicit LineReader(std::string_view text);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its line end; false when no line is left. The view points into
  // the reader's buffer (or the text) and stays valid until the next call that reads.
  bool next(std::string_view& line);
  // The same, copied.
  bool next(std::string& line);
  // True when no line is left.
  bool at_end();
  // True when a read from the file failed (as opposed to reaching its end).
  bool failed() const { return failed_; }

private:
  bool fill();             // false when nothing more can be had
  const char* line_end();  // the first CR or LF from pos_, or end_

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  std::string spill_;  // a line that runs past the end of the buffer
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  bool skip_lf_ = false;  // the last line ended in CR: a following LF belongs to it
  bool eof_ = false;
  bool failed_ = false;
};

}  // namespace corvane
