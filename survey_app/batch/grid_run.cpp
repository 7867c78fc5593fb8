#include "batch/grid_run.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <fstream>
#include <ostream>

#include "export/export_core.h"
#include "grid/grid_input.h"
#include "grid_files/grid_files.h"
#include "map/survey_map.h"
#include "util/text.h"

#ifdef CORVANE_MAP
#include <QSaveFile>

#include "batch/drawing_application.h"
#include "map/map_graph.h"
#endif

namespace corvane {

namespace {

// Adds the lines and points of `more` to `input`.
void append(GridInput& input, const GridInput& more) {
  const auto first_line = static_cast<std::int32_t>(input.lines.size());
  input.lines.insert(input.lines.end(), more.lines.begin(), more.lines.end());
  input.points.reserve(input.points.size() + more.points.size());
  for (GridPoint p : more.points) {
    p.line += first_line;
    input.points.push_back(p);
  }
}

// "812 x 640 nodes, cell 5, x 0 to 4055, y -100 to 3095, values 57012.3 to 58233.1,
// 12.3 % empty, 1.84 s"
std::string grid_summary(const Grid& grid, double seconds) {
  const GridGeometry& g = grid.geometry;
  float low = INFINITY, high = -INFINITY;
  std::int64_t empty = 0;
  for (const float v : grid.values) {
    if (std::isnan(v)) {
      ++empty;
      continue;
    }
    low = std::min(low, v);
    high = std::max(high, v);
  }
  const auto number = [](double v) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
  };
  std::string text = "Grid: " + std::to_string(g.columns) + " x " + std::to_string(g.rows) + " nodes, cell " +
                     number(g.cell) + ", x " + number(g.west()) + " to " + number(g.east()) + ", y " +
                     number(g.south()) + " to " + number(g.north());
  if (empty < g.nodes()) text += ", values " + format_fixed(low, 1) + " to " + format_fixed(high, 1);
  text += ", " +
          format_fixed(static_cast<float>(100.0 * static_cast<double>(empty) / static_cast<double>(g.nodes())), 1) +
          " % empty, " + format_fixed(static_cast<float>(seconds), 2) + " s";
  return text;
}

// The grid as the map pane shows it in grid mode, hill-shaded with its contours, into the
// PNG file `path`; the failure's text, empty on success.
std::string write_grid_image(const SurveyModel& model, bool only_model, const Grid& grid, const GridRun& run) {
#ifdef CORVANE_MAP
  const DrawingApplication application;
  // Coloured on the dots' stretch, as the map pane shows the grid, when the grid holds the
  // dots' values (the model's alone, no base field added); else on the grid's own.
  const SurveyMap map = only_model && run.base_field == 0 ? build_survey_map(model, run.raw) : SurveyMap{};
  const QImage image = render_grid_image(map, grid, QSize(run.image_size.first, run.image_size.second),
                                         GridLook{.hill_shading = true, .contours = true});
  QSaveFile file(QString::fromStdString(*run.image_path));
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
    return file.errorString().isEmpty() ? "the picture could not be written" : file.errorString().toStdString();
  return {};
#else
  return "this build has no graph";
#endif
}

}  // namespace

bool is_xyz_export(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string head(xyz_head_bytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  return is_corvane_xyz(head);
}

int run_grid(const GridRun& run, const SurveyModel& model, const std::vector<std::string>& xyz_files, Operator& op,
             std::ostream& report) {
  const auto start = std::chrono::steady_clock::now();
  Grid grid;
  try {
    std::optional<LeftOutSpikes> spikes;
    if (run.leave_out_spikes) spikes.emplace(model, *run.leave_out_spikes);
    GridInput input = grid_input(model, run.raw, run.base_field, spikes ? &*spikes : nullptr);
    for (const std::string& path : xyz_files) append(input, grid_input_from_xyz(path, run.raw));
    grid = make_grid(input, run.options);
  } catch (const GridError& e) {
    op.message(std::string("The readings could not be gridded: ") + e.what());
    return 1;
  }
  try {
    write_grid_file(grid, run.grid_path);
    if (run.contours_path) {
      const double interval = run.contour_interval > 0 ? run.contour_interval : contour_interval(grid);
      if (interval <= 0) {
        op.message("No contours were written to " + *run.contours_path + ": the grid has a single value");
        return 1;
      }
      write_contour_file(grid, interval, *run.contours_path);
    }
  } catch (const GridFileError& e) {
    op.message(e.what());
    return 1;
  }
  if (run.image_path) {
    if (const std::string failure = write_grid_image(model, xyz_files.empty(), grid, run); !failure.empty()) {
      op.message("The grid picture could not be written to " + *run.image_path + ": " + failure);
      return 1;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  report << grid_summary(grid, seconds) << "\n";
  return 0;
}

}  // namespace corvane
