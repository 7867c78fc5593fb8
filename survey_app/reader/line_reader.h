#pragma once
// Reads text lines from a file or from memory. CR, LF and CR LF all end a line; bytes are
// kept as they are (NUL and non-ASCII included). A line longer than max_line keeps its
// first max_line bytes and the rest of it is passed over, so memory stays bounded on any
// input.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "reader/byte_kernels.h"

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
  // Inline for a line that ends within the buffer, the case of nearly every line.
  bool next(std::string_view& line) {
    if (pos_ < end_) {
      const char* from = pos_;
      if (skip_lf_ && *from == '\n') ++from;
      const char* p = line_end(from, end_);
      if (p < end_ && static_cast<std::size_t>(p - from) <= max_line) {
        line = std::string_view(from, static_cast<std::size_t>(p - from));
        skip_lf_ = *p == '\r';
        pos_ = p + 1;
        ++line_number_;
        return true;
      }
    }
    return next_from_any(line);
  }
  // The same, copied.
  bool next(std::string& line);
  // True when no line is left.
  bool at_end() {
    // Known at once unless all that is left of the buffer is the LF of a CR LF.
    if (pos_ < end_ && !(skip_lf_ && *pos_ == '\n' && pos_ + 1 == end_)) return false;
    return at_end_of_buffer();
  }
  // True when a read from the file failed (as opposed to reaching its end).
  bool failed() const { return failed_; }
  // The number of the last line next() gave, 1 for the first; 0 before the first.
  std::int64_t line_number() const { return line_number_; }

private:
  bool next_from_any(std::string_view& line);  // next(), wherever the line ends
  bool at_end_of_buffer();                     // at_end(), wherever pos_ is, and passes a pending LF
  bool fill();                                 // false when nothing more can be had
  // The first CR or LF in [p, end), or end.
  static const char* line_end(const char* p, const char* end) { return bytes::line_end(p, end); }

  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  std::string spill_;  // a line that runs past the end of the buffer
  const char* pos_ = nullptr;
  const char* end_ = nullptr;
  bool skip_lf_ = false;  // the last line ended in CR: a following LF belongs to it
  bool eof_ = false;
  bool failed_ = false;
  std::int64_t line_number_ = 0;
};

}  // namespace corvane
