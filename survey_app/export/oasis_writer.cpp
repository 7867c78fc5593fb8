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

std::string station_text(float position, char direction) {
  const bool negative = position < 0;
  const char letter = direction == 'N' ? (negative ? 'W' : 'E') : (negative ? 'S' : 'N');
  std::string text(value_field_width + 1, letter);
  fit_value(text.data(), position);
  return text;
}

double decimal_year(double day_number) {
  const std::int64_t days = whole_seconds(day_number) / seconds_per_day;
  std::int64_t year = 0;
  unsigned month = 0, day = 0;
  civil_from_days(days, year, month, day);
  const std::int64_t first = days_from_civil(year, 1, 1);
  const std::int64_t length = days_from_civil(year + 1, 1, 1) - first;
  return static_cast<double>(year) + static_cast<double>(days - first) / static_cast<double>(length);
}

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

// Thrown to stop the export at a call the library refused; its error has been shown.
struct GxRefused {};

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
    if (check() != 0) throw GxRefused{};
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

void start_oasis_context(const GxLibrary& lib, std::int32_t& status, Operator& op) {
  if (oasis_context != 0) return;
  const std::int32_t flags = 0;
  const std::int64_t window = 0;
  oasis_context = lib.Std_Create_GEO("Sandrow", "V1.0", &flags, &window);
  if (oasis_context > 0) {
    status = 0;
  } else {
    oasis_context = 0;
    op.message("Unable to start OASIS object");
    status = -1;
  }
}

// The empty database: the group line and the eight channels, committed and closed.
void create_mag_database(Gx& gx, const std::string& path, std::int32_t& status, Operator& op) {
  try {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) std::filesystem::remove(path, ec);
    if (gx.check() != 0) status = 0;
    std::int32_t sizes[] = {10, 50, 80, 5, 10};
    gx.lib.Std_Create_DB(gx.ctx, path.c_str(), &sizes[0], &sizes[1], &sizes[2], &sizes[3], &sizes[4], "SUPER", "");
    if (gx.check() != 0) status = 0;
    std::int32_t db = gx.lib.Std_Open_DB(gx.ctx, path.c_str(), "SUPER", "");
    status = gx.check();
    if (status != 0) return;
    std::int32_t category = 200;
    const std::int32_t group = gx.lib.Std_CreateSymb_DB(gx.ctx, &db, "Line", &gx.one, &gx.zero, &category);
    status = gx.check();
    if (status != 0) return;
    for (const ChannelSpec& c : channels) {
      gx.create_channel(db, c, group, status);
      if (status != 0) return;
    }
    gx.lib.Std_Commit_DB(gx.ctx, &db);
    gx.lib.Std_Destroy_DB(gx.ctx, &db);
  } catch (const std::exception& e) {
    status = -1;
    op.message(std::string("An error occurred while creating the mag database: ") + e.what());
  }
}

}  // namespace

ExportResult export_oasis(const SurveyModel& m, const ExportOptions& options, const std::string& path, Operator& op,
                          ExportTally& tally, const std::string& shown_as) {
  op.busy(true);
  std::int32_t db = 0;
  const GxLibrary* library = nullptr;  // for the handlers below, where the try block's names are gone
  std::optional<ErrorDisplay> display;
  try {
    const GxLibrary& lib = gx_library();
    library = &lib;
    display.emplace(lib, op, path, shown_as);
    std::int32_t status = 0;
    start_oasis_context(lib, status, op);
    if (status < 0 || oasis_context <= 0) {
      op.busy(false);
      return ExportResult::failed;
    }
    Gx gx{lib, oasis_context};
    create_mag_database(gx, path, status, op);
    if (status < 0) {
      op.busy(false);
      return ExportResult::failed;
    }
    db = lib.Std_Open_DB(gx.ctx, path.c_str(), "SUPER", "");
    if (gx.check() != 0) return ExportResult::failed;
    // The file is a temporary that is put in place only once complete (and synced then when
    // it replaces one): SQLite's journal and syncs would protect nothing.
    lib.Std_Unjournaled_DB(gx.ctx, &db);
    if (gx.check() != 0) return ExportResult::failed;

    // Kept from line to line: the texts of the stations and the seven number columns.
    std::vector<std::string> stations;
    std::vector<const char*> station_texts;
    std::array<std::vector<double>, 7> values;
    tally = for_each_written_block(m, options, op, [&](const Block& block, const WorkingColumns& columns) {
      const float coord = line_coordinate(block.line);
      const char direction = direction_letter(block.line);
      const bool north = direction == 'N';
      std::int32_t category = 100;
      const std::string name = "L" + block.line;
      const std::int32_t line = lib.Std_CreateSymb_DB(gx.ctx, &db, name.c_str(), &gx.one, &gx.zero, &category);
      gx.stop_on_error();
      const std::int32_t n = columns.rows();
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
      const auto missing_or = [](float v) { return v == null_value ? -1e32 : static_cast<double>(v); };
      // The line's columns in full, then each handed to its vector in one call.
      const auto rows = static_cast<std::size_t>(n);
      stations.resize(rows);
      station_texts.resize(rows);
      for (auto& column : values) column.resize(rows);
      for (std::size_t at = 0; at < rows; ++at) {
        const std::size_t i = at + 1;
        stations[at] = station_text(columns.position[i], direction);
        station_texts[at] = stations[at].c_str();
        values[0][at] = static_cast<double>(north ? columns.position[i] : coord);
        values[1][at] = static_cast<double>(north ? coord : columns.position[i]);
        values[2][at] = missing_or(columns.raw[i]);
        values[3][at] = missing_or(columns.base[i]);
        values[4][at] = missing_or(columns.corr[i]);
        values[5][at] = decimal_year(columns.time[i]);
        values[6][at] = decimal_hours(columns.time[i]);
      }
      const std::int32_t first = 0;
      lib.Std_SetStringRange_VV(gx.ctx, &vectors[0], &first, &n, station_texts.data());
      for (std::size_t c = 1; c < vectors.size(); ++c)
        lib.Std_SetRealRange_VV(gx.ctx, &vectors[c], &first, &n, values[c - 1].data());
      for (std::size_t c = 0; c < channels.size(); ++c) {
        const std::int32_t ch = lib.Std_FindSymb_DB(gx.ctx, &db, channels[c].name, &gx.two);
        gx.lock_symbol(db, ch);
        lib.Std_PutChanVV_DB(gx.ctx, &db, &line, &ch, &vectors[c]);
        gx.stop_on_error();
        lib.Std_UnLockSymb_DB(gx.ctx, &db, &ch);
      }
    });
    lib.Std_Commit_DB(gx.ctx, &db);
    // A commit that fails (a full disk) is shown by the library; the export is then not
    // complete, whatever the per-line calls did.
    const bool committed = gx.check() == 0;
    lib.Std_Destroy_DB(gx.ctx, &db);
    db = 0;
    if (!committed) op.busy(false);
    return committed ? ExportResult::complete : ExportResult::failed;
  } catch (const GxRefused&) {
    // Nothing more is written: what the database holds is not what was exported.
    library->Std_Destroy_DB(oasis_context, &db);
    op.busy(false);
    return ExportResult::failed;
  } catch (const std::exception& e) {
    if (db != 0 && library) {
      // The lines written before the failure stay in the file.
      library->Std_Commit_DB(oasis_context, &db);
      library->Std_Destroy_DB(oasis_context, &db);
    }
    op.busy(false);
    report_export_error(op, e.what());
    return ExportResult::failed;
  }
}

}  // namespace corvane
