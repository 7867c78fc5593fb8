#include "export/xyz_writer.h"

#include <cerrno>
#include <cstring>

#include "util/date_time.h"
#include "util/text.h"

namespace corvane {

namespace {

const char* const crlf = "\r\n";
const std::string hyphens = "/ " + std::string(84, '-');

void put_number(std::string& row, float v) { row += fit_field(format_fixed(v, 1), 10); }

void put_value(std::string& row, float v) {
  if (v == null_value) {
    row += "          *";
    return;
  }
  row += ' ';
  put_number(row, v);
}

// Collects the text and hands it to the file in large pieces, checking every write.
class Output {
public:
  Output(std::FILE* f, const std::string& path) : f_(f), path_(path) { buffer_.reserve(1 << 20); }
  void line(const std::string& text) {
    buffer_ += text;
    buffer_ += crlf;
    if (buffer_.size() >= (1u << 20)) flush();
  }
  void flush() {
    if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), f_) != buffer_.size()) fail();
    buffer_.clear();
    if (std::fflush(f_) != 0 || std::ferror(f_)) fail();
  }

private:
  [[noreturn]] void fail() {
    const int e = errno;
    throw ExportError("could not write " + path_ + ": " + std::strerror(e != 0 ? e : EIO));
  }
  std::FILE* f_;
  const std::string& path_;
  std::string buffer_;
};

}  // namespace

std::string xyz_row(float line_coord, char direction, float position, float raw, float base, float corr, double time) {
  const bool north = direction == 'N';
  std::string row;
  row.reserve(88);
  row += ' ';
  put_number(row, line_coord);
  row += ' ';
  put_number(row, north ? position : line_coord);
  row += ' ';
  put_number(row, north ? line_coord : position);
  put_value(row, raw);
  put_value(row, base);
  put_value(row, corr);
  row += ' ';
  row += format_ymd_hms(time);
  return row;
}

ExportResult export_xyz(const SurveyModel& m, const ExportOptions& options, std::FILE* out, const std::string& path,
                        Operator& op, double today) {
  op.busy(true);
  Output file(out, path);
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
    for_each_written_block(m, options, op, [&](const Block& block, const WorkingColumns& columns) {
      file.line("/Line " + fit_field(block.line, 10));
      const float coord = line_coordinate(block.line);
      const char direction = direction_letter(block.line);
      for (std::int32_t k = 1; k <= columns.rows(); ++k) {
        const auto i = static_cast<std::size_t>(k);
        file.line(xyz_row(coord, direction, columns.position[i], columns.raw[i], columns.base[i], columns.corr[i],
                          columns.time[i]));
      }
    });
    file.flush();
  } catch (const std::exception& e) {
    try {
      file.flush();  // keep what was written up to the failure
    } catch (const ExportError&) {
    }
    op.busy(false);
    op.message(std::string("An error occurred while exporting the data: ") + e.what());
    return ExportResult::failed;
  }
  op.busy(false);
  op.message("Export complete");
  return ExportResult::complete;
}

}  // namespace corvane
