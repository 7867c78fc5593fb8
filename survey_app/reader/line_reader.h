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
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  // The first CR or LF in [p, end), or end. CR and LF are looked for together, sixteen
  // bytes at a time where the vector instructions are there, then eight at a time: a byte
  // equal to either has its high bit set in `hits`. A set bit just above a true one may be
  // false, so only the lowest set bit is used, and it is always true.
  static const char* line_end(const char* p, const char* end) {
#if defined(__SSE2__)
    for (; end - p >= 16; p += 16) {
      const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const int hits = _mm_movemask_epi8(
          _mm_or_si128(_mm_cmpeq_epi8(w, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(w, _mm_set1_epi8('\r'))));
      if (hits != 0) return p + std::countr_zero(static_cast<unsigned>(hits));
    }
#endif
    constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
    for (; end - p >= 8; p += 8) {
      std::uint64_t w;
      std::memcpy(&w, p, 8);
      if constexpr (std::endian::native != std::endian::little) w = __builtin_bswap64(w);
      const std::uint64_t lf = w ^ ('\n' * ones), cr = w ^ ('\r' * ones);
      const std::uint64_t hits = (((lf - ones) & ~lf) | ((cr - ones) & ~cr)) & highs;
      if (hits != 0) return p + std::countr_zero(hits) / 8;
    }
    while (p < end && *p != '\n' && *p != '\r') ++p;
    return p;
  }

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
