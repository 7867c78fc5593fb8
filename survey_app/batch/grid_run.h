#pragma once
// corvane-batch --grid: the readings of the dump files and XYZ files given, gridded and
// written as a grid file, and as contours and a picture when asked.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "grid/grid.h"
#include "model/survey_model.h"
#include "qc/spikes.h"
#include "util/operator.h"

namespace corvane {

struct GridRun {
  std::string grid_path;
  GridOptions options;
  bool raw = false;
  float base_field = 0;  // added to corrected values, as the XYZ export adds it
  std::optional<std::string> contours_path, image_path;
  double contour_interval = 0;  // 0: the grid's own (contour_interval)
  std::pair<int, int> image_size{1200, 900};
  // Spikes left out as an export leaves them out (--despike).
  std::optional<SpikeOptions> leave_out_spikes;
};

// Whether `path` is an XYZ file this program exported (read by its head; a file that
// cannot be read is not one, and is read as a dump file, which says why it cannot).
bool is_xyz_export(const std::string& path);

// Grids the ticked field lines of `model` and the readings of `xyz_files`; tells the grid's
// size, cell, region, value range, empty share and time on `report`. 0 on success, 1 when
// nothing could be gridded or a file could not be written (the reason told through `op`).
int run_grid(const GridRun& run, const SurveyModel& model, const std::vector<std::string>& xyz_files, Operator& op,
             std::ostream& report);

}  // namespace corvane
