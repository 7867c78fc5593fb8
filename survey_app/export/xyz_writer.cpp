#include "export/xyz_writer.h"

#include <cmath>
#include <cstring>
#include <future>
#include <system_error>
#include <utility>

#include "util/date_time.h"
#include "util/text.h"

namespace corvane {

namespace {

const std::string hyphens = "/ " + std::string(84, '-');

// raw, base and corr: a blank and the number, or ten blanks and "*" for null_value.
void put_value(char* out, float v) {
  if (v == null_value) {
    std::memcpy(out, "          *", 11);
    return;
  }
  *out = ' ';
  fit_value(out + 1, v);
}

// Collects the file in large buffers. A full buffer is written on a second thread while
// the next one is filled, so formatting overlaps the kernel's copy. After a write fails
// nothing more is written: what followed it never lands after a gap.
class Output {
public:
  explicit Output(ExportFile& file) : file_(file), filling_(capacity), writing_(capacity) {}
  ~Output() {
    if (pending_.valid()) pending_.wait();  // the thread still reads writing_
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void line(const std::string& text) {
    text.copy(room(text.size() + 2), text.size());
    std::memcpy(filling_.data() + size_ - 2, "\r\n", 2);
  }
  // The next `bytes` bytes of the file, to be filled by the caller.
  char* room(std::size_t bytes) {
    if (size_ + bytes > filling_.size()) hand_off();
    if (bytes > filling_.size()) filling_.resize(bytes);  // a line longer than the buffer
    size_ += bytes;
    return filling_.data() + size_ - bytes;
  }
  // Writes what is buffered and waits until every byte is with the file.
  void flush() {
    finish_write();
    if (!failed_) write_now(filling_);
    size_ = 0;
  }

private:
  static constexpr std::size_t capacity = 1 << 20;

  void hand_off() {
    finish_write();
    if (failed_) {
      size_ = 0;
      return;
    }
    std::swap(filling_, writing_);
    const std::size_t bytes = std::exchange(size_, 0);
    try {
      pending_ =
          std::async(std::launch::async, [this, bytes] { file_.write(std::string_view(writing_.data(), bytes)); });
    } catch (const std::system_error&) {  // no thread to be had: write here
      size_ = bytes;
      write_now(writing_);
    }
  }
  // Waits for the write in flight; its failure is thrown here.
  void finish_write() {
    if (!pending_.valid()) return;
    try {
      pending_.get();
    } catch (...) {
      failed_ = true;
      throw;
    }
  }
  // The bytes leave the buffer even when the write fails, so they are never written twice.
  void write_now(const std::vector<char>& buffer) {
    const std::size_t bytes = std::exchange(size_, 0);
    try {
      file_.write(std::string_view(buffer.data(), bytes));
    } catch (...) {
      failed_ = true;
      throw;
    }
  }

  ExportFile& file_;
  std::vector<char> filling_, writing_;
  std::size_t size_ = 0;
  bool failed_ = false;
  std::future<void> pending_;
};

}  // namespace

void XyzRows::set_line(float line_coord, char direction) {
  fit_value(coordinate_.data(), line_coord);
  north_ = position_is_x(direction);
}

void XyzRows::put(char* out, float position, float raw, float base, float corr, double time) {
  char* p = out;
  *p++ = ' ';
  p = std::copy(coordinate_.begin(), coordinate_.end(), p);
  *p++ = ' ';
  if (north_)
    fit_value(p, position);
  else
    std::copy(coordinate_.begin(), coordinate_.end(), p);
  p += value_field_width;
  *p++ = ' ';
  if (north_)
    std::copy(coordinate_.begin(), coordinate_.end(), p);
  else
    fit_value(p, position);
  p += value_field_width;
  put_value(p, raw);
  put_value(p + 11, base);
  put_value(p + 22, corr);
  p += 33;
  *p++ = ' ';

  const std::int64_t seconds = whole_seconds(time);
  const auto day = static_cast<std::int64_t>(std::floor(day_number(seconds)));
  const std::int64_t second = seconds - day * seconds_per_day;
  if (day != day_) {
    date_ = format_ymd(day_number(day * seconds_per_day));
    // Years outside 0 to 9999 (which the reader does not give) would widen the row.
    if (date_.size() != 10) throw ExportError("the reading at " + format_ymd_hms(time) + " has no four-digit year");
    day_ = day;
  }
  p = std::copy(date_.begin(), date_.end(), p);
  *p++ = ' ';
  if (clock_.empty()) clock_.resize(seconds_per_day);
  auto& clock = clock_[static_cast<std::size_t>(second)];
  if (clock[0] == '\0') std::memcpy(clock.data(), format_hms(day_number(second)).data(), clock.size());
  p = std::copy(clock.begin(), clock.end(), p);
  *p++ = '\r';
  *p = '\n';
}

ExportResult export_xyz(const SurveyModel& m, const ExportOptions& options, ExportFile& out, Operator& op, double today,
                        ExportTally& tally) {
  op.busy(true);
  Output file(out);
  try {
    file.line(hyphens);
    file.line("/ XYZ EXPORT [" + format_mdy(today) + "]");
    file.line(hyphens);
    file.line("/");
    file.line("/      Line          X          Y    Raw_mag   Base_mag   Corr_mag       Date     Time");
    file.line("/========== ========== ========== ========== ========== ========== ========== ========");
    file.line("/");
    file.line("/ Base Mag Value: " + format_fixed(options.base_field_value, 2));
    file.line("/");
    XyzRows rows;
    tally = for_each_written_block(m, options, op, [&](const Block& block, const WorkingColumns& columns) {
      file.line("/Line " + fit_field(block.line, 10));
      rows.set_line(line_coordinate(block.line), direction_letter(block.line));
      for (std::int32_t k = 1; k <= columns.rows(); ++k) {
        const auto i = static_cast<std::size_t>(k);
        rows.put(file.room(XyzRows::row_bytes), columns.position[i], columns.raw[i], columns.base[i], columns.corr[i],
                 columns.time[i]);
      }
    });
    file.flush();
  } catch (const std::exception& e) {
    try {
      file.flush();  // a new file keeps what was written up to the failure
    } catch (const ExportError&) {
    }
    op.busy(false);
    report_export_error(op, e.what());
    return ExportResult::failed;
  }
  return ExportResult::complete;
}

}  // namespace corvane
