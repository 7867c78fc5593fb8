#include "export/xyz_writer.h"

#include <cmath>
#include <cstring>
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

// Collects the file in one large buffer and hands it to the file a megabyte at a time.
class Output {
public:
  explicit Output(ExportFile& file) : file_(file), buffer_(capacity) {}
  void line(const std::string& text) {
    text.copy(room(text.size() + 2), text.size());
    std::memcpy(buffer_.data() + size_ - 2, "\r\n", 2);
  }
  // The next `bytes` bytes of the file, to be filled by the caller.
  char* room(std::size_t bytes) {
    if (size_ + bytes > buffer_.size()) flush();
    if (bytes > buffer_.size()) buffer_.resize(bytes);  // a line longer than the buffer
    size_ += bytes;
    return buffer_.data() + size_ - bytes;
  }
  // The bytes leave the buffer even when the write fails, so they are never written twice.
  void flush() {
    const std::size_t bytes = std::exchange(size_, 0);
    file_.write(std::string_view(buffer_.data(), bytes));
  }

private:
  static constexpr std::size_t capacity = 1 << 20;
  ExportFile& file_;
  std::vector<char> buffer_;
  std::size_t size_ = 0;
};

}  // namespace

void XyzRows::set_line(float line_coord, char direction) {
  fit_value(coordinate_.data(), line_coord);
  north_ = direction == 'N';
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
                        std::vector<std::int32_t>& left_out) {
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
    left_out = for_each_written_block(m, options, op, [&](const Block& block, const WorkingColumns& columns) {
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
