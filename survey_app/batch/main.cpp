// corvane-batch: a processing run from the command line.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#ifdef CORVANE_MAP
#include <QSaveFile>

#include "batch/drawing_application.h"
#include "map/map_graph.h"
#include "report/qc_report_file.h"
#endif
#ifdef CORVANE_GRID_FILES
#include "batch/grid_run.h"
#endif
#include "batch/batch_operator.h"
#include "batch/program_options.h"
#include "batch/report.h"
#include "correction/base_match.h"
#include "display/block_display.h"
#include "export/export_command.h"
#include "grid/grid.h"
#include "map/survey_map.h"
#include "qc/clock.h"
#include "qc/diurnal.h"
#include "qc/qc_report.h"
#include "qc/qc_table.h"
#include "qc/spikes.h"
#include "reader/dump_reader.h"
#include "reader/file_list.h"
#include "util/text.h"

namespace {

const char* const description =
    "Reads the Scintrex dump files in the order given (a later file whose name is already listed is left out "
    "and named), up to N at a time with --jobs N (default: one per core; 1 reads them one after another; the "
    "results are the same), then:";

const char* const epilogue =
    "Dates in the dumps are read in the order that reads them all (--date-order auto, the default): of several, "
    "the one of the regional settings; when none does, the one that reads most. Another order is said on stderr "
    "with the reason; --date-order mdy, dmy or ymd reads in that order. Dates not read are named after the run. "
    "Messages go to stderr. Exit 0 on success, 1 when the export fails or writes no reading, an --uncheck fails, "
    "there is nothing to map or grid, or a grid file or the QC report cannot be written, 2 on bad usage (or --map, "
    "--grid-image or --qc-report in a build without the graph, --grid in one without GDAL), 3 when a dump file "
    "could not be opened or read to its end (the run goes on without it), 4 when the printed tables could not "
    "be written.";

// What a run is asked to do, as its options set it.
struct BatchArgs {
  corvane::DateOrder order = corvane::DateOrder::automatic;
  unsigned jobs = corvane::default_jobs();
  bool tree = false, blocks = false, readings = false, qc = false;
  bool overwrite = false;
  std::optional<std::string> xyz, base_field, graphs, map_path;
  std::pair<int, int> map_size{1200, 900};
  bool raw = false;
  int button = corvane::export_xyz_button;
  corvane::ExportRequest request;
  std::vector<std::string> unchecks;
  std::optional<std::string> grid_path, contours_path, grid_image_path;
  std::int64_t base_shift = 0;
  corvane::GridOptions grid;
  double contour_interval = 0;
  corvane::DiurnalLimit diurnal_limit;
  std::optional<std::string> qc_report_path;
};

// Whether an export target is one of the dump files: replacing it would destroy the input.
bool names_an_input(const std::filesystem::path& target, const std::vector<std::string>& inputs) {
  std::error_code ec;
  if (!std::filesystem::exists(target, ec)) return false;
  for (const std::string& input : inputs)
    if (std::filesystem::equivalent(target, input, ec)) return true;
  return false;
}

// "WxH" with both at least 1 and at most 20000.
std::optional<std::pair<int, int>> parse_map_size(const std::string& text) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return std::nullopt;
  int w = 0, h = 0;
  const char* const end = text.data() + text.size();
  const auto [w_end, w_error] = std::from_chars(text.data(), text.data() + x, w);
  const auto [h_end, h_error] = std::from_chars(text.data() + x + 1, end, h);
  if (w_error != std::errc() || h_error != std::errc() || w_end != text.data() + x || h_end != end) return std::nullopt;
  if (w < 1 || h < 1 || w > 20000 || h > 20000) return std::nullopt;
  return std::pair{w, h};
}

// Why a complete export wrote no reading.
std::string nothing_written_reason(const corvane::SurveyModel& model, const corvane::ExportRequest& request,
                                   const corvane::ExportTally& written) {
  if (model.reading_count() == 0) return "no reading was read from the dump files";
  if (!written.uncovered.empty() && !request.export_all)
    return "no base session covers the ticked lines (--export-all writes them uncorrected)";
  return "no ticked block has two or more readings";
}

// Draws the map of the ticked field lines into `path`; false, with the reason told, when
// there is nothing to map or the file cannot be written.
bool write_map(const corvane::SurveyModel& model, const std::string& path, std::pair<int, int> size, bool raw,
               corvane::Operator& op) {
  corvane::SurveyMap map = corvane::build_survey_map(model, raw);
  if (map.dots.empty()) {
    op.message("There is nothing to map: no ticked field line of two or more readings has a line coordinate");
    return false;
  }
#ifdef CORVANE_MAP
  const corvane::DrawingApplication application;
  const QString target = QString::fromStdString(path);
  const QSize pixels(size.first, size.second);
  QString failure;
  if (path.ends_with(".svg")) {
    failure = corvane::write_map_svg(map, pixels, target);
  } else {
    const QImage image = corvane::render_map_image(map, pixels);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
      failure = file.errorString().isEmpty() ? QStringLiteral("the picture could not be written") : file.errorString();
  }
  if (!failure.isEmpty()) {
    op.message("The map could not be written to " + path + ": " + failure.toStdString());
    return false;
  }
  return true;
#else
  return false;
#endif
}

// A number option's value: finite and within [low, high] (above low when `above`).
std::function<std::string(const std::string&)> number_into(double& target, const char* name, double low, double high,
                                                           bool above, const char* needs) {
  return [&target, name, low, high, above, needs](const std::string& value) {
    double v = 0;
    const char* const end = value.data() + value.size();
    const auto [stop, error] = std::from_chars(value.data(), end, v);
    if (value.empty() || stop != end || error != std::errc() || !std::isfinite(v) || v < low || v > high ||
        (above && v == low))
      return std::string(name) + " needs " + needs + ", not \"" + value + "\"";
    target = v;
    return std::string();
  };
}

// The extension of `path`, lower case.
std::string extension_of(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

std::function<std::string(const std::string&)> file_into(std::optional<std::string>& target, const char* name,
                                                         std::vector<std::string> extensions, const char* needs) {
  return [&target, name, extensions, needs](const std::string& value) {
    if (std::find(extensions.begin(), extensions.end(), extension_of(value)) == extensions.end())
      return std::string(name) + " needs a file ending in " + needs;
    target = value;
    return std::string();
  };
}

void declare_grid_options(corvane::ProgramOptions& o, BatchArgs& a) {
  o.add({.name = "--grid",
         .argument = "OUT.tif|OUT.grd|OUT.asc",
         .help = "grids the ticked field lines (corrected values, as the XYZ export writes them) into a GeoTIFF, "
                 "Surfer 7 or ESRI ASCII grid, by its extension; FILEs may also be XYZ files this program "
                 "exported, whose Corr_mag column is gridded (Raw_mag with --raw)",
         .mode = "grid",
         .opens = true,
         .take = file_into(a.grid_path, "--grid", {".tif", ".tiff", ".grd", ".asc"}, ".tif, .grd or .asc")});
  o.add({.name = "--cell",
         .argument = "C",
         .help = "the grid's cell (default: a quarter of the median line spacing, rounded to 1, 2 or 5 x 10^k)",
         .mode = "grid",
         .take = number_into(a.grid.cell, "--cell", 0, 1e12, true, "a number above 0")});
  o.add({.name = "--tension",
         .argument = "T",
         .help = "the splines' tension, from 0 (minimum curvature) to below 1 (default 0.25)",
         .mode = "grid",
         .take = [&a](const std::string& value) {
           std::string refused =
               number_into(a.grid.tension, "--tension", 0, 1, false, "a number from 0 to below 1")(value);
           if (refused.empty() && a.grid.tension >= 1) refused = "--tension needs a number from 0 to below 1";
           return refused;
         }});
  o.add({.name = "--blank",
         .argument = "D",
         .help = "leaves the nodes farther than D from every reading empty (default 1.5 x the median line spacing; "
                 "0 blanks none)",
         .mode = "grid",
         .take = number_into(a.grid.blanking, "--blank", 0, 1e12, false, "a number of 0 or more")});
  o.add({.name = "--method",
         .argument = "mincurv|lines",
         .help = "mincurv: splines in tension over the block medians (the default); lines: along each line, then "
                 "across the lines",
         .mode = "grid",
         .take = [&a](const std::string& value) {
           if (value == "mincurv")
             a.grid.method = corvane::GridMethod::min_curvature;
           else if (value == "lines")
             a.grid.method = corvane::GridMethod::lines;
           else
             return "--method needs mincurv or lines, not \"" + value + "\"";
           return std::string();
         }});
  o.add({.name = "--contours",
         .argument = "OUT.gpkg|OUT.shp",
         .help = "writes the grid's contours (attribute value) to a GeoPackage or a shapefile",
         .mode = "grid",
         .take = file_into(a.contours_path, "--contours", {".gpkg", ".shp"}, ".gpkg or .shp")});
  o.add({.name = "--contour-interval",
         .argument = "I",
         .help = "the contours' interval (default: about 20 levels over the 2nd to 98th percentile, rounded to 1, 2 "
                 "or 5 x 10^k)",
         .mode = "grid",
         .take = number_into(a.contour_interval, "--contour-interval", 0, 1e12, true, "a number above 0")});
  o.add({.name = "--grid-image",
         .argument = "OUT.png",
         .help = "draws the grid into OUT as the map window shows it: shaded colours, contours and colour bar",
         .mode = "grid",
         .take = file_into(a.grid_image_path, "--grid-image", {".png"}, ".png")});
}

// "NT/MINUTES", both numbers above 0.
std::optional<corvane::DiurnalLimit> parse_diurnal_limit(const std::string& text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return std::nullopt;
  double nt = 0, minutes = 0;
  if (!number_into(nt, "", 0, 1e6, true, "")(text.substr(0, slash)).empty() ||
      !number_into(minutes, "", 0, 1e6, true, "")(text.substr(slash + 1)).empty())
    return std::nullopt;
  return corvane::DiurnalLimit{.nt = static_cast<float>(nt), .minutes = minutes};
}

// The spike flags' and the diurnal check's settings, and leaving spikes out of an export.
void declare_quality_options(corvane::ProgramOptions& o, BatchArgs& a) {
  o.add({.name = "--despike",
         .help = "leaves spikes out: flagged base readings take no part in the base values, flagged field readings "
                 "are written without a corrected value (and are not gridded)",
         .mode = "export",
         .also_in = {"grid"},
         .take = [&a](const std::string&) {
           a.request.leave_out_spikes = true;
           return std::string();
         }});
  o.add({.name = "--despike-window",
         .argument = "W",
         .help = "the readings a value is judged against when spikes are flagged, for --despike and --qc (a whole "
                 "number of 3 or more, default " +
                 std::to_string(corvane::SpikeOptions{}.window) + ")",
         .take = [&a](const std::string& value) {
           int window = 0;
           const char* const end = value.data() + value.size();
           const auto [stop, error] = std::from_chars(value.data(), end, window);
           if (value.empty() || stop != end || error != std::errc() || window < 3)
             return "--despike-window needs a whole number of 3 or more, not \"" + value + "\"";
           a.request.spike_options.window = window;
           return std::string();
         }});
  o.add({.name = "--despike-tolerance",
         .argument = "T",
         .help = "the smallest departure in nT that can be a spike, for --despike and --qc (default " +
                 corvane::format_fixed(corvane::SpikeOptions{}.tolerance_nt, 1) + ")",
         .take = [&a](const std::string& value) {
           double nt = 0;
           std::string refused = number_into(nt, "--despike-tolerance", 0, 1e6, true, "a number of nT above 0")(value);
           if (refused.empty()) a.request.spike_options.tolerance_nt = static_cast<float>(nt);
           return refused;
         }});
  o.add({.name = "--diurnal-limit",
         .argument = "NT/MINUTES",
         .help = "the diurnal rate --qc marks: a departure over NT from the chord over MINUTES (default 5/2)",
         .take = [&a](const std::string& value) {
           const auto limit = parse_diurnal_limit(value);
           if (!limit)
             return "--diurnal-limit needs NT/MINUTES, two numbers above 0 such as 5/2, not \"" + value + "\"";
           a.diurnal_limit = *limit;
           return std::string();
         }});
}

// Every option of the tool, once: the parsing, its errors and the usage text come from here.
void declare_options(corvane::ProgramOptions& o, BatchArgs& a) {
  using corvane::OptionSpec;
  const auto flag = [](bool& target) {
    return [&target](const std::string&) {
      target = true;
      return std::string();
    };
  };
  const auto text = [](std::optional<std::string>& target) {
    return [&target](const std::string& value) {
      target = value;
      return std::string();
    };
  };
  o.add({.name = "--date-order",
         .argument = "auto|mdy|dmy|ymd",
         .help = "the order of the dates in the dumps (see below)",
         .take = [&a](const std::string& value) {
           const auto order = corvane::parse_date_order(value);
           if (!order) return "--date-order needs auto, mdy, dmy or ymd, not \"" + value + "\"";
           a.order = *order;
           return std::string();
         }});
  o.add({.name = "--jobs",
         .argument = "N",
         .help = "reads up to N files at a time",
         .take = [&a](const std::string& value) {
           const char* const end = value.data() + value.size();
           const auto [stop, error] = std::from_chars(value.data(), end, a.jobs);
           if (value.empty() || stop != end || error != std::errc() || a.jobs == 0)
             return std::string("--jobs needs a whole number of 1 or more");
           return std::string();
         }});
  o.add({.name = "--base-shift",
         .argument = "SECONDS",
         .help = "moves every base reading's time by SECONDS (a whole number, either sign: a base clock set wrong) "
                 "before matching; every export, map, grid and table then uses the moved times",
         .take = [&a](const std::string& value) {
           const char* const end = value.data() + value.size();
           const auto [stop, error] = std::from_chars(value.data(), end, a.base_shift);
           if (value.empty() || stop != end || error != std::errc() || a.base_shift < -86400 * 366 ||
               a.base_shift > 86400 * 366)
             return std::string("--base-shift needs a whole number of seconds, at most a year either way");
           return std::string();
         }});
  o.add({.name = "--uncheck",
         .argument = "KEY",
         .help = "unticks the tree node with that key (a file's key unticks all of its blocks; matching runs again)",
         .repeatable = true,
         .take = [&a](const std::string& value) {
           a.unchecks.push_back(value);
           return std::string();
         }});
  o.add({.name = "--tree",
         .help = "prints every tree node (after any run): index, key, text, checked 0|1, colour",
         .opens = true,
         .take = flag(a.tree)});
  o.add({.name = "--blocks", .help = "prints the block table", .opens = true, .take = flag(a.blocks)});
  o.add({.name = "--readings", .help = "prints the reading table", .opens = true, .take = flag(a.readings)});
  o.add({.name = "--qc",
         .help = "prints one quality-control row per field line: readings, stations, base cover, spikes flagged, the "
                 "largest diurnal change it was surveyed in (see --diurnal-limit), gaps longer than "
                 "twice its median interval and the whole-hour base clock shift that would cover it; the lines "
                 "surveyed in such changes, the clock hints and an estimate of a small base clock offset go to stderr",
         .opens = true,
         .take = flag(a.qc)});
  o.add({.name = "--qc-report",
         .argument = "OUT.html",
         .help = "writes the day's quality control as one HTML page to mail: the files, the base sessions with their "
                 "drift and curve (marked diurnal stretches shaded, spike flags in red), the survey map, a row per "
                 "field line and every message of the run",
         .opens = true,
         .take = file_into(a.qc_report_path, "--qc-report", {".html", ".htm"}, ".html or .htm")});
  o.add({.name = "--graphs",
         .argument = "KEY",
         .help = "prints what clicking the tree node KEY shows: the text boxes, and for each graph its title, axes "
                 "and points",
         .opens = true,
         .take = text(a.graphs)});
  // The two export files are one slot: one of them, once.
  const struct {
    const char* name;
    const char* help;
    int button;
  } exports[] = {
      {"--xyz", "writes the XYZ file, corrected for the diurnal drift unless --no-corrections",
       corvane::export_xyz_button},
      {"--oasis", "writes an Oasis database instead, with the same options", corvane::export_oasis_button},
  };
  for (const auto& e : exports)
    o.add({.name = e.name,
           .argument = "PATH",
           .help = e.help,
           .mode = "export",
           .opens = true,
           .slot = "export file",
           .take = [&a, button = e.button](const std::string& value) {
             a.xyz = value;
             a.button = button;
             return std::string();
           }});
  o.add({.name = "--base-field",
         .argument = "VALUE",
         .help = "is added to corrected values (gridded ones too, 0 unless given)",
         .mode = "export",
         .also_in = {"grid"},
         .required = true,
         .take = text(a.base_field)});
  o.add({.name = "--no-corrections",
         .help = "writes the raw values without the diurnal correction",
         .mode = "export",
         .take = [&a](const std::string&) {
           a.request.apply_corrections = false;
           return std::string();
         }});
  o.add({.name = "--export-all",
         .help = "also writes field lines without a base session",
         .mode = "export",
         .take = flag(a.request.export_all)});
  o.add({.name = "--export-base",
         .help = "writes the base sessions too",
         .mode = "export",
         .take = flag(a.request.export_base)});
  o.add({.name = "--overwrite",
         .help = "replaces an existing file (without it the file is kept)",
         .mode = "export",
         .take = flag(a.overwrite)});
  declare_quality_options(o, a);
  o.add({.name = "--map",
         .argument = "OUT.png|OUT.svg",
         .help = "draws the survey map of the ticked field lines into OUT, a PNG picture or an SVG drawing, by its "
                 "extension, both with the titled colour bar: corrected values; needs no display",
         .mode = "map",
         .opens = true,
         .take = [&a](const std::string& value) {
           const std::string extension = std::filesystem::path(value).extension().string();
           if (extension != ".png" && extension != ".svg")
             return std::string("--map needs a file ending in .png or .svg");
           a.map_path = value;
           return std::string();
         }});
  o.add({.name = "--map-size",
         .argument = "WxH",
         .help = "the map's or grid picture's size in pixels (default 1200x900)",
         .mode = "map",
         .also_in = {"grid"},
         .take = [&a](const std::string& value) {
           const auto size = parse_map_size(value);
           if (!size) return std::string("--map-size needs WxH, two whole numbers from 1 to 20000");
           a.map_size = *size;
           return std::string();
         }});
  o.add({.name = "--raw",
         .help = "maps or grids the raw values instead",
         .mode = "map",
         .also_in = {"grid"},
         .take = flag(a.raw)});
  declare_grid_options(o, a);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane;
  BatchArgs a;
  ProgramOptions options("corvane-batch", "FILE...");
  declare_options(options, a);
  const auto usage = [&options](const std::string& problem) {
    if (!problem.empty()) std::cerr << "corvane-batch: " << problem << "\n";
    std::cerr << options.usage(description, epilogue);
    return 2;
  };
  const ProgramOptions::Parsed parsed = options.parse(argc, argv);
  if (parsed.help) {
    std::cout << options.usage(description, epilogue);
    return 0;
  }
  if (!parsed.problem.empty()) return usage(parsed.problem);
  const std::vector<std::string>& paths = parsed.operands;
  auto& [order, jobs, tree, blocks, readings, qc, overwrite, xyz, base_field, graphs, map_path, map_size, raw, button,
         request, unchecks, grid_path, contours_path, grid_image_path, base_shift, grid_options, contour_interval,
         diurnal_limit, qc_report_path] = a;
#ifndef CORVANE_MAP
  if (map_path || grid_image_path) {
    std::cerr << "corvane-batch: " << (map_path ? "--map" : "--grid-image")
              << " is not available: this build has no graph\n";
    return 2;
  }
  if (qc_report_path) {
    std::cerr << "corvane-batch: --qc-report is not available: this build has no graph\n";
    return 2;
  }
#endif
#ifndef CORVANE_GRID_FILES
  if (grid_path) {
    std::cerr << "corvane-batch: --grid is not available: this build has no GDAL\n";
    return 2;
  }
#endif
  float grid_base_field = 0;
  if (grid_path && base_field) {
    const std::optional<double> value = numeric_text_value(*base_field);
    if (!value || !to_single(*value, grid_base_field))
      return usage("--base-field needs a number, not \"" + *base_field + "\"");
  }
  if (paths.empty()) return usage("no dump files given");
  for (const auto& target : {xyz, map_path, grid_path, contours_path, grid_image_path, qc_report_path}) {
    if (target && names_an_input(*target, paths)) {
      std::cerr << "corvane-batch: " << *target << " is one of the dump files to read; choose another output file\n";
      return 2;
    }
  }
  // A closed pipe on stdout must fail the write (and be reported), not end the program.
  std::signal(SIGPIPE, SIG_IGN);

  // The file list: keyed by file name, as the window's list is. A grid also reads XYZ files
  // this program exported.
  DumpFileList files;
  std::vector<std::string> xyz_inputs;
  for (const std::string& p : paths) {
#ifdef CORVANE_GRID_FILES
    if (grid_path && is_xyz_export(p)) {
      xyz_inputs.push_back(p);
      continue;
    }
#endif
    files.add(dump_file_at(p));
  }

  BatchOperator said_on_stderr(std::cerr, overwrite);
  MessageLog op(said_on_stderr);  // the QC report lists every message of the run
  if (const std::string passed_over = files.take_passed_over_message(); !passed_over.empty()) op.message(passed_over);
  SurveyModel model;
  const ProcessingSummary run = process_files(model, files.files(), op, order, jobs);
  if (!run.date_order_note.empty()) op.message(run.date_order_note);
  if (const std::string empty = files_without_blocks_message(run); !empty.empty()) op.message(empty);

  int status = 0;
  const auto node_with_key = [&](const std::string& key) {
    for (std::int32_t n = 1; n <= model.node_count; ++n)
      if (table_field(model.node_key(n)) == key) return n;
    op.message("No node of the block tree has the key " + key);
    status = 1;
    return 0;
  };
  if (base_shift != 0) shift_base_times(model, base_shift);
  for (const std::string& key : unchecks)
    if (const std::int32_t node = node_with_key(key)) set_node_checked(model, node, false);
  bool shift_said = false;
  if (xyz && status == 0) {
    const std::filesystem::path target(*xyz);
    request.file_name_text = target.filename().string();
    request.directory = target.has_parent_path() ? target.parent_path().string() : ".";
    request.base_field_text = *base_field;
    ExportTally written;
    if (command_save_data(model, request, button, op, -1, &written) != ExportResult::complete) {
      status = 1;
    } else {
      shift_said = true;  // in the export's message
      if (written.readings == 0) {
        // The file stays, as written: a script sees what happened.
        op.message("No reading was written to " + export_target_path(request.directory, request.file_name_text) + ": " +
                   nothing_written_reason(model, request, written));
        status = 1;
      }
    }
  }
  if (base_shift != 0 && !shift_said) op.message(base_shift_message(base_shift));
#ifdef CORVANE_MAP
  std::optional<DrawingApplication> drawing;
  if (qc_report_path) drawing.emplace();  // for the map or grid pictures too
#endif
  if (map_path && status == 0 && !write_map(model, *map_path, map_size, raw, op)) status = 1;
#ifdef CORVANE_GRID_FILES
  if (grid_path && status == 0) {
    GridRun run{.grid_path = *grid_path,
                .options = grid_options,
                .raw = raw,
                .contours_path = contours_path,
                .image_path = grid_image_path,
                .contour_interval = contour_interval,
                .image_size = map_size,
                .leave_out_spikes = request.leave_out_spikes ? std::optional(request.spike_options) : std::nullopt};
    run.base_field = grid_base_field;
    status = run_grid(run, model, xyz_inputs, op, std::cerr);
  }
#endif
#ifdef CORVANE_MAP
  if (qc_report_path) {
    QcRunFacts facts{.date_order = run.date_order,
                     .messages = op.texts(),
                     .spike_options = request.spike_options,
                     .diurnal_limit = diurnal_limit};
    for (const DumpFile& file : files.files()) facts.files.push_back(dump_path(file));
    const QcReport report = gather_qc_report(model, std::move(facts));
    if (!write_qc_report(report, *qc_report_path, op)) status = 1;
  }
#endif
  errno = 0;  // what a failed write to stdout leaves is its reason
  if (tree) print_tree(model, std::cout);
  if (blocks) print_blocks(model, std::cout);
  if (readings) print_readings(model, std::cout);
  if (qc) {
    const SpikeFlags spikes = flag_spikes(model, request.spike_options);
    const std::vector<DiurnalStretch> stretches = diurnal_stretches(model, diurnal_limit, spikes.reading);
    print_qc(qc_lines(model, spikes, stretches), std::cout);
    for (const std::string& text : diurnal_messages(model, stretches, diurnal_limit.minutes)) op.message(text);
    for (const std::string& text : clock_shift_hints(model)) op.message(text);
    op.message(estimate_clock_offset(model).message);
  }
  if (graphs)
    if (const std::int32_t node = node_with_key(*graphs)) print_graphs(show_node(model, node, op), std::cout);
  if (!std::cout.flush()) {
    const int error = errno;
    std::cerr << "corvane-batch: the output could not be written" << (error ? ": " : "")
              << (error ? std::strerror(error) : "") << "\n";
    return 4;
  }
  if (status == 0 && run.unreadable_inputs > 0) return 3;
  return status;
}
