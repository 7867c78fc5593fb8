#include "export/oasis_writer.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

#include "export/gx_library.h"
#include "util/date_time.h"
#include "util/text.h"

namespace corvane {

void put_station_text(char* out, float position, char direction) {
  const bool negative = position < 0;
  fit_value(out, position);
  out[value_field_width] = direction == 'N' ? (negative ? 'W' : 'E') : (negative ? 'S' : 'N');
}

std::string station_text(float position, char direction) {
  std::string text(station_text_size, ' ');
  put_station_text(text.data(), position, direction);
  return text;
}

namespace {

// The decimal year of a day (days since the epoch).
double decimal_year_of_day(std::int64_t days) {
  std::int64_t year = 0;
  unsigned month = 0, day = 0;
  civil_from_days(days, year, month, day);
  const std::int64_t first = days_from_civil(year, 1, 1);
  const std::int64_t length = days_from_civil(year + 1, 1, 1) - first;
  return static_cast<double>(year) + static_cast<double>(days - first) / static_cast<double>(length);
}

// decimal_year of the readings of a line, worked out once a day.
class DecimalYears {
public:
  double operator()(double day_number) {
    const std::int64_t days = whole_seconds(day_number) / seconds_per_day;
    if (days != days_) {
      days_ = days;
      year_ = decimal_year_of_day(days);
    }
    return year_;
  }

private:
  std::int64_t days_ = INT64_MIN;
  double year_ = 0;
};

}  // namespace

double decimal_year(double day_number) { return DecimalYears{}(day_number); }

double decimal_hours(double day_number) {
  const std::int64_t seconds = whole_seconds(day_number) % seconds_per_day;
  const double h = static_cast<double>(seconds / 3600);
  const double m = static_cast<double>(seconds / 60 % 60);
  const double s = static_cast<double>(seconds % 60);
  return h + (m + s / 60) / 60;
}

namespace {

// The context lives as long as the program; 0 until the first export makes it.
std::int32_t oasis_context = 0;

constexpr std::int32_t text_type = -24, single_type = 4, double_type = 5;
constexpr std::int32_t time_format = 2, date_format = 3;

struct ChannelSpec {
  const char* name;
  std::int32_t type, width, decimals, format;
  const char* unit;
};
constexpr std::array<ChannelSpec, 8> channels{{
    {"Station", text_type, 10, -1, -1, ""},
    {"X", double_type, 10, 2, -1, "m"},
    {"Y", double_type, 10, 2, -1, "m"},
    {"Raw_mag", single_type, 8, 1, -1, ""},
    {"Base_mag", single_type, 8, 1, -1, ""},
    {"Corr_mag", single_type, 8, 1, -1, ""},
    {"Date", single_type, 11, 0, date_format, ""},
    {"Time", single_type, 10, 0, time_format, ""},
}};

// Where the library's errors go during an export: the operator's message box, with the
// database's own path named as the target it will become. The library shows them nowhere
// else until the next export.
class ErrorDisplay {
public:
  ErrorDisplay(const GxLibrary& lib, Operator& op, const std::string& path, const std::string& shown_as)
      : lib_(lib), op_(op), path_(path), shown_as_(shown_as.empty() ? path : shown_as) {
    if (lib_.GeoOppi_SetErrorDisplay) lib_.GeoOppi_SetErrorDisplay(&ErrorDisplay::show, this);
  }
  ~ErrorDisplay() {
    if (lib_.GeoOppi_SetErrorDisplay) lib_.GeoOppi_SetErrorDisplay(nullptr, nullptr);
  }
  ErrorDisplay(const ErrorDisplay&) = delete;
  ErrorDisplay& operator=(const ErrorDisplay&) = delete;

private:
  // Called by the library, a C interface: nothing may be thrown through it.
  static void show(const char* text, void* user) noexcept {
    try {
      auto* self = static_cast<ErrorDisplay*>(user);
      std::string shown = text;
      for (std::size_t at = 0; (at = shown.find(self->path_, at)) != std::string::npos; at += self->shown_as_.size())
        shown.replace(at, self->path_.size(), self->shown_as_);
      self->op_.message(shown);
    } catch (...) {
      // Without memory for the message there is nothing to show it with.
    }
  }
  const GxLibrary& lib_;
  Operator& op_;
  const std::string path_, shown_as_;
};

// The library's own calls, with its errors shown through the operator's message box.
struct Gx {
  const GxLibrary& lib;
  std::int32_t ctx = 0;
  std::int32_t one = 1, two = 2, zero = 0;

  // The pending error, shown; 0 when there is none.
  std::int32_t check() {
    const std::int32_t status = lib.Std_iCheckError_SYS(ctx);
    if (status != 0) lib.Std_ShowError_GEO(ctx);
    return status;
  }
  // Stops the export at the first call the library refused (a full disk: SQLite has then
  // dropped what was not committed), with the error shown.
  void stop_on_error() {
    if (check() != 0) throw ExportFailureShown{};
  }
  void lock_symbol(std::int32_t db, std::int32_t symbol) { lib.Std_LockSymb_DB(ctx, &db, &symbol, &one, &zero); }

  std::int32_t create_channel(std::int32_t db, const ChannelSpec& c, std::int32_t group, std::int32_t& status) {
    std::int32_t type = c.type;
    const std::int32_t ch = lib.Std_CreateSymb_DB(ctx, &db, c.name, &two, &zero, &type);
    lock_symbol(db, ch);
    std::int32_t width = c.width, decimals = c.decimals, format = c.format;
    if (width > 0) lib.Std_SetChanWidth_DB(ctx, &db, &ch, &width);
    if (decimals >= 0) lib.Std_SetChanDecimal_DB(ctx, &db, &ch, &decimals);
    if (format >= 0) lib.Std_SetChanFormat_DB(ctx, &db, &ch, &format);
    if (*c.unit) lib.Std_SetChanUnit_DB(ctx, &db, &ch, c.unit);
    lib.Std_UnLockSymb_DB(ctx, &db, &ch);
    if (group > 0) lib.Std_Associate_DB(ctx, &db, &group, &ch);
    status = check();
    return ch;
  }
};

void start_oasis_context(const GxLibrary& lib) {
  if (oasis_context != 0) return;
  const std::int32_t flags = 0;
  const std::int64_t window = 0;
  oasis_context = lib.Std_Create_GEO("Sandrow", "V1.0", &flags, &window);
  if (oasis_context <= 0) {
    oasis_context = 0;
    throw ExportMessage("Unable to start OASIS object");
  }
}

// The empty database: the group line and the eight channels, committed and closed. An
// error the library gives is shown, and what would follow it is left undone.
void create_mag_database(Gx& gx, const std::string& path) {
  try {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) std::filesystem::remove(path, ec);
    gx.check();
    std::int32_t sizes[] = {10, 50, 80, 5, 10};
    gx.lib.Std_Create_DB(gx.ctx, path.c_str(), &sizes[0], &sizes[1], &sizes[2], &sizes[3], &sizes[4], "SUPER", "");
    gx.check();
    std::int32_t db = gx.lib.Std_Open_DB(gx.ctx, path.c_str(), "SUPER", "");
    if (gx.check() != 0) return;
    std::int32_t category = 200;
    const std::int32_t group = gx.lib.Std_CreateSymb_DB(gx.ctx, &db, "Line", &gx.one, &gx.zero, &category);
    if (gx.check() != 0) return;
    for (const ChannelSpec& c : channels) {
      std::int32_t status = 0;
      gx.create_channel(db, c, group, status);
      if (status != 0) return;
    }
    gx.lib.Std_Commit_DB(gx.ctx, &db);
    gx.lib.Std_Destroy_DB(gx.ctx, &db);
  } catch (const std::exception& e) {
    throw ExportMessage(std::string("An error occurred while creating the mag database: ") + e.what());
  }
}

// One line's channels, prepared for the library: the station texts, each with its NUL, and
// the seven number channels as the library takes them.
struct OasisLine {
  std::int32_t rows = 0;
  std::vector<char> stations;
  std::vector<const char*> station_texts;
  std::array<std::vector<double>, 7> values;
};

struct OasisBatch {
  std::vector<OasisLine> lines;
};

void prepare_line(const Block& block, const WorkingColumns& columns, OasisLine& out) {
  const float coord = line_coordinate(block.line);
  const char direction = direction_letter(block.line);
  const bool north = direction == 'N';
  const auto missing_or = [](float v) { return v == null_value ? -1e32 : static_cast<double>(v); };
  const auto rows = static_cast<std::size_t>(columns.rows());
  out.rows = columns.rows();
  constexpr std::size_t stride = station_text_size + 1;
  out.stations.resize(rows * stride);
  out.station_texts.resize(rows);
  for (auto& column : out.values) column.resize(rows);
  DecimalYears years;
  for (std::size_t at = 0; at < rows; ++at) {
    const std::size_t i = at + 1;
    char* station = out.stations.data() + at * stride;
    put_station_text(station, columns.position[i], direction);
    station[station_text_size] = '\0';
    out.station_texts[at] = station;
    out.values[0][at] = static_cast<double>(north ? columns.position[i] : coord);
    out.values[1][at] = static_cast<double>(north ? coord : columns.position[i]);
    out.values[2][at] = missing_or(columns.raw[i]);
    out.values[3][at] = missing_or(columns.base[i]);
    out.values[4][at] = missing_or(columns.corr[i]);
    out.values[5][at] = years(columns.time[i]);
    out.values[6][at] = decimal_hours(columns.time[i]);
  }
}

}  // namespace

ExportTally export_oasis(const SurveyModel& m, const ExportOptions& options, const std::string& path, Operator& op,
                         const std::string& shown_as) {
  const GxLibrary& lib = gx_library();
  ErrorDisplay display(lib, op, path, shown_as);
  start_oasis_context(lib);
  Gx gx{lib, oasis_context};
  create_mag_database(gx, path);
  std::int32_t db = lib.Std_Open_DB(gx.ctx, path.c_str(), "SUPER", "");
  gx.stop_on_error();
  try {
    // The file is a temporary that is put in place only once complete (and synced then when
    // it replaces one): SQLite's journal and syncs would protect nothing.
    lib.Std_Unjournaled_DB(gx.ctx, &db);
    gx.stop_on_error();
    // The channels stay locked while the lines are written.
    std::array<std::int32_t, channels.size()> channel_handles{};
    for (std::size_t c = 0; c < channels.size(); ++c) {
      channel_handles[c] = lib.Std_FindSymb_DB(gx.ctx, &db, channels[c].name, &gx.two);
      gx.lock_symbol(db, channel_handles[c]);
    }
    gx.stop_on_error();
    // The lines' channels are prepared on the workers; here the library writes them in order.
    const auto prepare = [](std::size_t j, const Block& block, const WorkingColumns& columns, OasisBatch& batch) {
      if (batch.lines.size() <= j) batch.lines.resize(j + 1);
      prepare_line(block, columns, batch.lines[j]);
    };
    const auto write = [&](std::size_t j, const Block& block, const OasisBatch& batch) {
      const OasisLine& prepared = batch.lines[j];
      std::int32_t category = 100;
      const std::string name = "L" + block.line;
      const std::int32_t line = lib.Std_CreateSymb_DB(gx.ctx, &db, name.c_str(), &gx.one, &gx.zero, &category);
      gx.stop_on_error();
      const std::int32_t n = prepared.rows;
      struct Vectors {
        Gx& gx;
        std::array<std::int32_t, 8> handles{};
        ~Vectors() {
          for (std::int32_t& v : handles)
            if (v > 0) gx.lib.Std_Destroy_VV(gx.ctx, &v);
        }
      } owned{gx};
      auto& vectors = owned.handles;
      for (std::size_t c = 0; c < vectors.size(); ++c) {
        const std::int32_t type = c == 0 ? text_type : double_type;
        vectors[c] = lib.Std_CreateExt_VV(gx.ctx, &type, &n);
      }
      gx.stop_on_error();
      const std::int32_t first = 0;
      lib.Std_SetStringRange_VV(gx.ctx, &vectors[0], &first, &n, prepared.station_texts.data());
      for (std::size_t c = 1; c < vectors.size(); ++c)
        lib.Std_SetRealRange_VV(gx.ctx, &vectors[c], &first, &n, prepared.values[c - 1].data());
      for (std::size_t c = 0; c < channels.size(); ++c) {
        lib.Std_PutChanVV_DB(gx.ctx, &db, &line, &channel_handles[c], &vectors[c]);
        gx.stop_on_error();
      }
    };
    ExportTally tally = for_each_written_block<OasisBatch>(m, options, op, export_workers(true), prepare, write);
    for (std::int32_t& channel : channel_handles) lib.Std_UnLockSymb_DB(gx.ctx, &db, &channel);
    lib.Std_Commit_DB(gx.ctx, &db);
    // A commit that fails (a full disk) is shown by the library; the export is then not
    // complete, whatever the per-line calls did.
    gx.stop_on_error();
    lib.Std_Destroy_DB(gx.ctx, &db);
    return tally;
  } catch (const ExportFailureShown&) {
    // Nothing more is written: what the database holds is not what was exported.
    lib.Std_Destroy_DB(gx.ctx, &db);
    throw;
  } catch (...) {
    // The lines written before the failure stay in the file.
    lib.Std_Commit_DB(gx.ctx, &db);
    lib.Std_Destroy_DB(gx.ctx, &db);
    throw;
  }
}

}  // namespace corvane
