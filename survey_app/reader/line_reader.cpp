#include "reader/line_reader.h"

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

bool LineReader::at_end() {
  if (skip_lf_) {
    if (!fill()) return true;
    if (*pos_ == '\n') ++pos_;
    skip_lf_ = false;
  }
  return !fill();
}

bool LineReader::next(std::string& line) {
  line.clear();
  if (at_end()) return false;
  for (;;) {
    if (!fill()) return true;  // the last line has no line end
    const char* p = pos_;
    while (p < end_ && *p != '\n' && *p != '\r') ++p;
    const std::size_t room = max_line - line.size();
    const std::size_t take = static_cast<std::size_t>(p - pos_);
    line.append(pos_, take < room ? take : room);
    if (p < end_) {
      skip_lf_ = *p == '\r';
      pos_ = p + 1;
      return true;
    }
    pos_ = end_;
  }
}

}  // namespace corvane
