#include "export/xyz_writer.h"

#include <cstring>
#include <string_view>

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

  const auto [day, second] = day_and_second(whole_seconds(time));
  if (day != day_) {
    date_ = format_ymd(day_number(day * seconds_per_day));
    // Years outside 0 to 9999 (which the reader does not give) would widen the row.
    if (date_.size() != 10) throw ExportError("the reading at " + format_ymd_hms(time) + " has no four-digit year");
    day_ = day;
  }
  p = std::copy(date_.begin(), date_.end(), p);
  *p++ = ' ';
  put_hms(p, second);
  p += 8;
  *p++ = '\r';
  *p = '\n';
}

namespace {

// A batch of blocks as the file's text, each block's end marked.
struct XyzBatch {
  XyzRows rows;
  std::vector<char> text;  // grown, never shrunk: a later batch writes over it
  std::size_t size = 0;
  std::vector<std::size_t> ends;
  std::size_t written = 0;  // what of the text is with the file

  char* room(std::size_t bytes) {
    if (size + bytes > text.size()) text.resize(size + bytes);
    size += bytes;
    return text.data() + size - bytes;
  }
  void line(std::string_view s) {
    char* out = room(s.size() + 2);
    std::memcpy(out, s.data(), s.size());
    std::memcpy(out + s.size(), "\r\n", 2);
  }
};

}  // namespace

ExportTally export_xyz(const SurveyModel& m, const ExportOptions& options, ExportFile& out, Operator& op,
                       double today) {
  XyzBatch head;
  head.line(hyphens);
  head.line("/ XYZ EXPORT [" + format_mdy(today) + "]");
  head.line(hyphens);
  head.line("/");
  head.line("/      Line          X          Y    Raw_mag   Base_mag   Corr_mag       Date     Time");
  head.line("/========== ========== ========== ========== ========== ========== ========== ========");
  head.line("/");
  head.line("/ Base Mag Value: " + format_fixed(options.base_field_value, 2));
  head.line("/");
  out.write(std::string_view(head.text.data(), head.size));
  // Blocks are formatted on the workers; here their text goes to the file in order.
  const auto prepare = [](std::size_t j, const Block& block, const WorkingColumns& columns, XyzBatch& batch) {
    if (j == 0) {
      batch.size = 0;
      batch.written = 0;
      batch.ends.clear();
    }
    batch.line("/Line " + fit_field(block.line, 10));
    batch.rows.set_line(line_coordinate(block.line), direction_letter(block.line));
    for (std::int32_t k = 1; k <= columns.rows(); ++k) {
      const auto i = static_cast<std::size_t>(k);
      batch.rows.put(batch.room(XyzRows::row_bytes), columns.position[i], columns.raw[i], columns.base[i],
                     columns.corr[i], columns.time[i]);
    }
    batch.ends.push_back(batch.size);
  };
  // Blocks go to the file in runs of a megabyte or more, and the batch's last with them;
  // the blocks of a batch before one that failed are its last.
  const auto write = [&out](std::size_t j, const Block&, XyzBatch& batch) {
    constexpr std::size_t run = 1 << 20;
    if (j + 1 < batch.ends.size() && batch.ends[j] - batch.written < run) return;
    out.write(std::string_view(batch.text.data() + batch.written, batch.ends[j] - batch.written));
    batch.written = batch.ends[j];
  };
  return for_each_written_block<XyzBatch>(m, options, op, export_workers(false), prepare, write);
}

}  // namespace corvane
