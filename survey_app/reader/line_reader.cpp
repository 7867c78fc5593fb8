#include "reader/line_reader.h"

#include <algorithm>
#include <cstring>

namespace corvane {

LineReader::LineReader(std::FILE* file) : file_(file), buffer_(1u << 18) { pos_ = end_ = buffer_.data(); }

LineReader::LineReader(std::string_view text) {
  pos_ = text.data();
  end_ = text.data() + text.size();
  eof_ = true;
}

LineReader::~LineReader() {
  if (file_) std::fclose(file_);
}

bool LineReader::fill() {
  if (pos_ < end_) return true;
  if (eof_ || !file_) return false;
  const std::size_t n = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  pos_ = buffer_.data();
  end_ = pos_ + n;
  if (n < buffer_.size()) {
    if (std::ferror(file_)) failed_ = true;
    eof_ = true;
  }
  return n > 0;
}

bool LineReader::at_end_of_buffer() {
  if (skip_lf_) {
    if (!fill()) return true;
    if (*pos_ == '\n') ++pos_;
    skip_lf_ = false;
  }
  return !fill();
}

bool LineReader::next_from_any(std::string_view& line) {
  line = {};
  if (at_end_of_buffer()) return false;  // also passes the LF of a CR LF
  bool spilled = false;
  spill_.clear();
  for (;;) {
    if (!fill()) break;  // the last line has no line end
    const char* p = line_end(pos_, end_);
    const std::size_t take = std::min(static_cast<std::size_t>(p - pos_), max_line - spill_.size());
    if (p < end_ && !spilled) {
      line = std::string_view(pos_, take);
      skip_lf_ = *p == '\r';
      pos_ = p + 1;
      ++line_number_;
      return true;
    }
    spill_.append(pos_, take);
    spilled = true;
    if (p < end_) {
      skip_lf_ = *p == '\r';
      pos_ = p + 1;
      break;
    }
    pos_ = end_;
  }
  line = spill_;
  ++line_number_;
  return true;
}

bool LineReader::next(std::string& line) {
  std::string_view view;
  const bool any = next(view);
  line.assign(view);
  return any;
}

}  // namespace corvane
