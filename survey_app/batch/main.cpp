// corvane-batch: a processing run from the command line.
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#ifdef CORVANE_MAP
#include <QApplication>
#include <QSaveFile>

#include "map/map_graph.h"
#endif
#include "batch/batch_operator.h"
#include "batch/report.h"
#include "correction/base_match.h"
#include "display/block_display.h"
#include "export/export_command.h"
#include "map/survey_map.h"
#include "reader/dump_reader.h"
#include "reader/file_list.h"

namespace {

const char* const usage_text =
    "usage: corvane-batch [--date-order auto|mdy|dmy|ymd] [--jobs N] [--tree] [--blocks] [--readings] [--graphs KEY]\n"
    "                     [--uncheck KEY]... FILE...\n"
    "       corvane-batch [--date-order auto|mdy|dmy|ymd] [--jobs N] --xyz|--oasis PATH --base-field VALUE\n"
    "                     [--no-corrections] [--export-all] [--export-base] [--overwrite] [--uncheck KEY]... FILE...\n"
    "       corvane-batch [--date-order auto|mdy|dmy|ymd] [--jobs N] --map OUT.png|OUT.svg [--map-size WxH] [--raw]\n"
    "                     [--uncheck KEY]... FILE...\n"
    "\n"
    "Reads the Scintrex dump files in the order given (a later file whose name is already\n"
    "listed is left out and named), up to N at a time with --jobs N (default: one per core; 1 reads\n"
    "them one after another; the results are the same), then:\n"
    "  --uncheck KEY     unticks the tree node with that key (a file's key unticks all of\n"
    "                    its blocks; matching runs again)\n"
    "  --oasis PATH      writes an Oasis database instead, with the same options\n"
    "  --xyz PATH        writes the XYZ file, corrected for the diurnal drift unless\n"
    "                    --no-corrections; --base-field VALUE is added to corrected values;\n"
    "                    --export-all also writes field lines without a base session,\n"
    "                    --export-base writes the base sessions too; an existing file is\n"
    "                    replaced only with --overwrite\n"
    "  --tree            prints every tree node: index, key, text, checked 0|1, colour\n"
    "  --blocks          prints the block table\n"
    "  --readings        prints the reading table\n"
    "  --graphs KEY      prints what clicking the tree node KEY shows: the text boxes, and\n"
    "                    for each graph its title, axes and points\n"
    "  --map OUT         draws the survey map of the ticked field lines into OUT, a PNG picture\n"
    "                    or an SVG drawing, by its extension, both with the titled colour bar:\n"
    "                    corrected values, or raw ones with --raw; --map-size WxH in pixels\n"
    "                    (default 1200x900); needs no display\n"
    "  --help            prints this text on stdout and exits 0\n"
    "Dates in the dumps are read in the order that reads them all (--date-order auto, the\n"
    "default): of several, the one of the regional settings; when none does, the one that reads\n"
    "most. Another order is said on stderr with the reason; --date-order mdy, dmy or ymd reads\n"
    "in that order. Dates not read are named after the run. Messages go to stderr. Exit 0 on\n"
    "success, 1 when the export fails or writes no reading, an --uncheck fails or there is\n"
    "nothing to map, 2 on bad usage (or --map in a build without the graph), 3 when a dump\n"
    "file could not be opened or read to its end (the run goes on without it), 4 when the\n"
    "printed tables could not be written.\n";

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

// An option that names one file or value takes it once: a second one would silently win.
bool set_once(std::optional<std::string>& option, const std::string& value) {
  if (option) return false;
  option = value;
  return true;
}

// Why a complete export wrote no reading.
std::string nothing_written_reason(const corvane::SurveyModel& model, const corvane::ExportRequest& request,
                                   const corvane::ExportTally& written) {
  if (model.reading_count() == 0) return "no reading was read from the dump files";
  if (!written.uncovered.empty() && !request.export_all)
    return "no base session covers the ticked lines (--export-all writes them uncorrected)";
  return "no ticked block has two or more readings";
}

int usage(const std::string& problem) {
  if (!problem.empty()) std::cerr << "corvane-batch: " << problem << "\n";
  std::cerr << usage_text;
  return 2;
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
  // Qt needs an application; without a platform named, none that needs a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "corvane-batch";
  char* argv[] = {name, nullptr};
  QApplication application(argc, argv);
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

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane;
  DateOrder order = DateOrder::automatic;
  unsigned jobs = default_jobs();
  bool tree = false, blocks = false, readings = false;
  bool overwrite = false;
  std::optional<std::string> xyz, base_field, graphs, map_path;
  std::pair<int, int> map_size{1200, 900};
  bool raw = false;
  int button = export_xyz_button;
  ExportRequest request;
  std::vector<std::string> unchecks;
  std::vector<std::string> paths;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && (arg == "--help" || arg == "-h")) {
      std::cout << usage_text;
      return 0;
    } else if (!options_done && arg == "--date-order") {
      if (i + 1 >= argc) return usage("--date-order needs auto, mdy, dmy or ymd");
      const auto o = parse_date_order(argv[++i]);
      if (!o) return usage("--date-order needs auto, mdy, dmy or ymd, not \"" + std::string(argv[i]) + "\"");
      order = *o;
    } else if (!options_done && arg == "--jobs") {
      const std::string value = i + 1 < argc ? argv[++i] : "";
      const char* const end = value.data() + value.size();
      const auto [stop, error] = std::from_chars(value.data(), end, jobs);
      if (value.empty() || stop != end || error != std::errc() || jobs == 0)
        return usage("--jobs needs a whole number of 1 or more");
    } else if (!options_done && (arg == "--xyz" || arg == "--oasis" || arg == "--base-field" || arg == "--uncheck" ||
                                 arg == "--graphs" || arg == "--map" || arg == "--map-size")) {
      if (i + 1 >= argc) return usage(arg + " needs a value");
      const std::string value = argv[++i];
      if (arg == "--map") {
        const std::string extension = std::filesystem::path(value).extension().string();
        if (extension != ".png" && extension != ".svg") return usage("--map needs a file ending in .png or .svg");
        if (!set_once(map_path, value)) return usage("give --map once");
      } else if (arg == "--map-size") {
        const auto size = parse_map_size(value);
        if (!size) return usage("--map-size needs WxH, two whole numbers from 1 to 20000");
        map_size = *size;
      } else if (arg == "--graphs")
        graphs = value;
      else if (arg == "--xyz" || arg == "--oasis") {
        if (!set_once(xyz, value)) return usage("give one of --xyz and --oasis, once");
        button = arg == "--xyz" ? export_xyz_button : export_oasis_button;
      } else if (arg == "--base-field") {
        if (!set_once(base_field, value)) return usage("give --base-field once");
      } else
        unchecks.push_back(value);
    } else if (!options_done && arg == "--no-corrections") {
      request.apply_corrections = false;
    } else if (!options_done && arg == "--export-all") {
      request.export_all = true;
    } else if (!options_done && arg == "--export-base") {
      request.export_base = true;
    } else if (!options_done && arg == "--raw") {
      raw = true;
    } else if (!options_done && arg == "--overwrite") {
      overwrite = true;
    } else if (!options_done && arg == "--tree") {
      tree = true;
    } else if (!options_done && arg == "--blocks") {
      blocks = true;
    } else if (!options_done && arg == "--readings") {
      readings = true;
    } else if (!options_done && (arg == "--help" || arg == "-h")) {
      std::cout << usage_text;
      return 0;
    } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
      return usage("unknown option " + arg);
    } else {
      paths.push_back(arg);
    }
  }
  if (!tree && !blocks && !readings && !xyz && !graphs && !map_path)
    return usage("say what to do: --xyz, --oasis, --map, --tree, --blocks, --readings or --graphs");
  if (raw && !map_path) return usage("--raw goes with --map");
#ifndef CORVANE_MAP
  if (map_path) {
    std::cerr << "corvane-batch: --map is not available: this build has no graph\n";
    return 2;
  }
#endif
  if (xyz && !base_field) return usage("--xyz and --oasis need --base-field");
  if (!xyz && base_field) return usage("--base-field goes with --xyz or --oasis");
  if (paths.empty()) return usage("no dump files given");
  for (const auto& target : {xyz, map_path}) {
    if (target && names_an_input(*target, paths)) {
      std::cerr << "corvane-batch: " << *target << " is one of the dump files to read; choose another output file\n";
      return 2;
    }
  }
  // A closed pipe on stdout must fail the write (and be reported), not end the program.
  std::signal(SIGPIPE, SIG_IGN);

  // The file list: keyed by file name, as the window's list is.
  DumpFileList files;
  for (const std::string& p : paths) {
    const std::filesystem::path path(p);
    DumpFile f{path.filename().string(), path.parent_path().string()};
    if (f.directory.empty()) f.directory = ".";
    files.add(f);
  }

  BatchOperator op(std::cerr, overwrite);
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
  for (const std::string& key : unchecks)
    if (const std::int32_t node = node_with_key(key)) set_node_checked(model, node, false);
  if (xyz && status == 0) {
    const std::filesystem::path target(*xyz);
    request.file_name_text = target.filename().string();
    request.directory = target.has_parent_path() ? target.parent_path().string() : ".";
    request.base_field_text = *base_field;
    ExportTally written;
    if (command_save_data(model, request, button, op, -1, &written) != ExportResult::complete) {
      status = 1;
    } else if (written.readings == 0) {
      // The file stays, as written: a script sees what happened.
      op.message("No reading was written to " + export_target_path(request.directory, request.file_name_text) + ": " +
                 nothing_written_reason(model, request, written));
      status = 1;
    }
  }
  if (map_path && status == 0 && !write_map(model, *map_path, map_size, raw, op)) status = 1;
  errno = 0;  // what a failed write to stdout leaves is its reason
  if (tree) print_tree(model, std::cout);
  if (blocks) print_blocks(model, std::cout);
  if (readings) print_readings(model, std::cout);
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
