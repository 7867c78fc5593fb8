#include "grid_files/grid_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <ostream>
#include <set>
#include <thread>

#include <sys/resource.h>

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include "temp_dir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// 7 x 5 nodes from x = -7.5, y = 25 by 2.5: zero but a reading at node (5, 1), east of
// the centre and south of it, and an empty node at (1, 3).
constexpr std::int32_t bump_i = 5, bump_j = 1, empty_i = 1, empty_j = 3;
constexpr float bump_value = 51234.567f;

Grid bump_grid() {
  Grid grid;
  grid.geometry = {.cell = 2.5, .i0 = -3, .j0 = 10, .columns = 7, .rows = 5};
  grid.values.assign(35, 0.0f);
  grid.values[bump_j * 7 + bump_i] = bump_value;
  grid.values[empty_j * 7 + empty_i] = Grid::empty;
  return grid;
}

Grid grid_of(std::int32_t columns, std::int32_t rows, const std::function<float(double, double)>& z) {
  Grid grid;
  grid.geometry = {.cell = 1, .i0 = 0, .j0 = 0, .columns = columns, .rows = rows};
  for (std::int32_t j = 0; j < rows; ++j) {
    for (std::int32_t i = 0; i < columns; ++i) grid.values.push_back(z(grid.geometry.x(i), grid.geometry.y(j)));
  }
  return grid;
}

struct CloseDataset {
  void operator()(void* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<void, CloseDataset>;

Dataset open_file(const fs::path& path, unsigned kind) {
  GDALAllRegister();
  Dataset dataset(GDALOpenEx(path.string().c_str(), kind | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
  EXPECT_TRUE(dataset) << path;
  return dataset;
}

// A file's single band as GDAL presents it: north row first.
struct Raster {
  std::string driver;
  std::array<double, 6> transform{};
  std::int32_t columns = 0, rows = 0;
  double no_data = 0;
  bool has_no_data = false;
  std::vector<float> pixels;
  float at(std::int32_t column, std::int32_t row) const { return pixels[row * columns + column]; }
};

Raster read_raster(const fs::path& path) {
  Raster raster;
  const Dataset dataset = open_file(path, GDAL_OF_RASTER);
  if (!dataset) return raster;
  raster.driver = GDALGetDriverShortName(GDALGetDatasetDriver(dataset.get()));
  GDALGetGeoTransform(dataset.get(), raster.transform.data());
  raster.columns = GDALGetRasterXSize(dataset.get());
  raster.rows = GDALGetRasterYSize(dataset.get());
  GDALRasterBandH band = GDALGetRasterBand(dataset.get(), 1);
  int has_no_data = 0;
  raster.no_data = GDALGetRasterNoDataValue(band, &has_no_data);
  raster.has_no_data = has_no_data != 0;
  raster.pixels.resize(static_cast<std::size_t>(raster.columns) * raster.rows);
  EXPECT_EQ(GDALRasterIO(band, GF_Read, 0, 0, raster.columns, raster.rows, raster.pixels.data(), raster.columns,
                         raster.rows, GDT_Float32, 0, 0),
            CE_None);
  return raster;
}

std::set<std::string> files_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

std::string error_of(const std::function<void()>& write) {
  try {
    write();
  } catch (const GridFileError& error) {
    return error.what();
  }
  return "no error";
}

std::string file_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct GridFileCase {
  std::string name;
  std::string driver;
  friend void PrintTo(const GridFileCase& c, std::ostream* os) { *os << c.name; }
};

class GridFileTest : public testing::TestWithParam<GridFileCase> {};

// Pixel centres on the nodes, north row first: a half-cell shift moves the origin, a flip
// moves the bump.
TEST_P(GridFileTest, NodesLandOnTheirPixelsAndEmptyNodesOnNoData) {
  const TempDir dir;
  const fs::path path = dir.path() / GetParam().name;
  write_grid_file(bump_grid(), path.string());

  const Raster raster = read_raster(path);
  EXPECT_EQ(raster.driver, GetParam().driver);
  const std::array<double, 6> expected{-7.5 - 1.25, 2.5, 0, 35 + 1.25, 0, -2.5};
  EXPECT_EQ(raster.transform, expected);
  ASSERT_EQ(raster.columns, 7);
  ASSERT_EQ(raster.rows, 5);
  EXPECT_EQ(raster.at(bump_i, 4 - bump_j), bump_value);
  ASSERT_TRUE(raster.has_no_data);
  EXPECT_EQ(raster.at(empty_i, 4 - empty_j), static_cast<float>(raster.no_data));
  int zeros = 0;
  for (const float pixel : raster.pixels) zeros += pixel == 0.0f;
  EXPECT_EQ(zeros, 33);
  EXPECT_EQ(files_in(dir.path()), std::set<std::string>{GetParam().name});
}

INSTANTIATE_TEST_SUITE_P(Formats, GridFileTest,
                         testing::Values(GridFileCase{"day.tif", "GTiff"}, GridFileCase{"day.TIFF", "GTiff"},
                                         GridFileCase{"day.grd", "GS7BG"}, GridFileCase{"day.Asc", "AAIGrid"}),
                         [](const auto& info) {
                           return "File" + std::to_string(info.index) + "_" + info.param.driver;
                         });

template <typename T>
T read_at(const std::string& bytes, std::size_t offset) {
  T value{};
  if (offset + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

// The Surfer 7 layout itself: GRID section (rows, columns, lower-left node, steps, range,
// rotation, blank value), then DATA, south row first.
TEST(SurferGridFile, StoresTheSouthRowFirstFromTheLowerLeftNode) {
  const TempDir dir;
  const fs::path path = dir.path() / "day.grd";
  write_grid_file(bump_grid(), path.string());
  const std::string bytes = file_bytes(path);

  ASSERT_EQ(bytes.substr(0, 4), "DSRB");
  const std::size_t grid = 8 + read_at<std::int32_t>(bytes, 4);
  ASSERT_EQ(bytes.substr(grid, 4), "GRID");
  const std::size_t header = grid + 8;
  EXPECT_EQ(read_at<std::int32_t>(bytes, header), 5);
  EXPECT_EQ(read_at<std::int32_t>(bytes, header + 4), 7);
  EXPECT_EQ(read_at<double>(bytes, header + 8), -7.5);
  EXPECT_EQ(read_at<double>(bytes, header + 16), 25.0);
  EXPECT_EQ(read_at<double>(bytes, header + 24), 2.5);
  EXPECT_EQ(read_at<double>(bytes, header + 32), 2.5);
  const double blank = read_at<double>(bytes, header + 64);
  const std::size_t data = header + read_at<std::int32_t>(bytes, grid + 4);
  ASSERT_EQ(bytes.substr(data, 4), "DATA");
  const auto node = [&](std::int32_t i, std::int32_t j) { return read_at<double>(bytes, data + 8 + (j * 7 + i) * 8); };
  EXPECT_EQ(node(bump_i, bump_j), static_cast<double>(bump_value));
  EXPECT_EQ(node(empty_i, empty_j), blank);
  EXPECT_EQ(node(bump_i, 4 - bump_j), 0.0);  // where a flip would put the reading
}

TEST(GridFile, ReplacesTheTargetAndItsStaleSideFiles) {
  const TempDir dir;
  const fs::path path = dir.path() / "day.tif";
  dir.write("day.tif", "an older grid");
  dir.write("day.tif.aux.xml", "<PAMDataset>statistics of the older grid</PAMDataset>");
  write_grid_file(bump_grid(), path.string());

  EXPECT_EQ(read_raster(path).at(bump_i, 4 - bump_j), bump_value);
  EXPECT_EQ(files_in(dir.path()), std::set<std::string>{"day.tif"});
}

struct ContourCase {
  std::string name;
  std::function<float(double, double)> z;
  bool vertical;  // lines along y at x = position, else along x at y = position
  double offset;  // position = level - offset
  friend void PrintTo(const ContourCase& c, std::ostream* os) { *os << c.name; }
};

class ContourTest : public testing::TestWithParam<ContourCase> {};

// Levels through the nodes themselves (z = x) and between them; lines run edge to edge of
// the cells, half a cell beyond the outer nodes.
TEST_P(ContourTest, PlaneGivesStraightLinesAtTheMultiplesOfTheInterval) {
  const ContourCase& c = GetParam();
  const Grid grid = grid_of(11, 7, c.z);
  const std::vector<ContourLine> lines = grid_contours(grid, 2);

  std::vector<double> levels;
  for (const ContourLine& line : lines) {
    levels.push_back(line.level);
    ASSERT_GE(line.points.size(), 2u);
    double low = INFINITY, high = -INFINITY;
    for (const auto& [x, y] : line.points) {
      EXPECT_NEAR(c.vertical ? x : y, line.level - c.offset, 1e-5) << line.level;
      low = std::min(low, c.vertical ? y : x);
      high = std::max(high, c.vertical ? y : x);
    }
    EXPECT_EQ(low, -0.5);
    EXPECT_EQ(high, (c.vertical ? 6 : 10) + 0.5);
  }
  std::sort(levels.begin(), levels.end());
  const std::vector<double> expected = c.vertical ? std::vector<double>{2, 4, 6, 8, 10} : std::vector<double>{2, 4, 6};
  EXPECT_EQ(levels, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Planes, ContourTest,
    testing::Values(
        ContourCase{"LevelsOnNodes", [](double x, double) { return static_cast<float>(x); }, true, 0},
        ContourCase{"LevelsBetweenNodes", [](double x, double) { return static_cast<float>(x + 0.5); }, true, 0.5},
        ContourCase{"NorthwardSlope", [](double, double y) { return static_cast<float>(y + 0.25); }, false, 0.25}),
    [](const auto& info) { return info.param.name; });

TEST(Contours, ClosedRingsAroundAConeAndNoneThroughEmptyNodes) {
  Grid cone = grid_of(10, 9, [](double x, double y) { return static_cast<float>(std::hypot(x - 4, y - 4)); });
  cone.values[2 * 10 + 8] = Grid::empty;  // (8, 2): a corner away from the inner rings

  std::set<double> ring_levels;
  for (const ContourLine& line : grid_contours(cone, 1)) {
    for (const auto& [x, y] : line.points) EXPECT_FALSE(std::abs(x - 8) < 0.5 && std::abs(y - 2) < 0.5);
    if (line.level > 3) continue;
    ring_levels.insert(line.level);
    EXPECT_EQ(line.points.front(), line.points.back()) << line.level;
    // Straight segments between edge crossings cut inside the circle, never outside.
    for (const auto& [x, y] : line.points) {
      const double r = std::hypot(x - 4, y - 4);
      EXPECT_LE(r, line.level + 1e-5);
      EXPECT_GE(r, line.level - 0.05);
    }
  }
  EXPECT_EQ(ring_levels, (std::set<double>{1, 2, 3}));
}

struct ContourFileCase {
  std::string name;
  std::string driver;
  std::set<std::string> files;
  friend void PrintTo(const ContourFileCase& c, std::ostream* os) { *os << c.name; }
};

class ContourFileTest : public testing::TestWithParam<ContourFileCase> {};

TEST_P(ContourFileTest, OneLineFeaturePerContourWithItsValue) {
  const TempDir dir;
  const fs::path path = dir.path() / GetParam().name;
  write_contour_file(grid_of(11, 7, [](double x, double) { return static_cast<float>(x + 0.5); }), 2, path.string());

  EXPECT_EQ(files_in(dir.path()), GetParam().files);
  const Dataset dataset = open_file(path, GDAL_OF_VECTOR);
  ASSERT_TRUE(dataset);
  EXPECT_STREQ(GDALGetDriverShortName(GDALGetDatasetDriver(dataset.get())), GetParam().driver.c_str());
  ASSERT_EQ(GDALDatasetGetLayerCount(dataset.get()), 1);
  OGRLayerH layer = GDALDatasetGetLayer(dataset.get(), 0);
  EXPECT_EQ(wkbFlatten(OGR_L_GetGeomType(layer)), wkbLineString);
  // Local grid coordinates, never degrees: a shapefile names no system, a GeoPackage its
  // undefined Cartesian one.
  const OGRSpatialReferenceH system = OGR_L_GetSpatialRef(layer);
  EXPECT_TRUE(system == nullptr || (OSRIsLocal(system) && !OSRIsGeographic(system)));
  const int field = OGR_FD_GetFieldIndex(OGR_L_GetLayerDefn(layer), "value");
  ASSERT_GE(field, 0);
  EXPECT_EQ(OGR_Fld_GetType(OGR_FD_GetFieldDefn(OGR_L_GetLayerDefn(layer), field)), OFTReal);
  std::multiset<double> values;
  for (OGRFeatureH feature = OGR_L_GetNextFeature(layer); feature; feature = OGR_L_GetNextFeature(layer)) {
    values.insert(OGR_F_GetFieldAsDouble(feature, field));
    OGRGeometryH line = OGR_F_GetGeometryRef(feature);
    EXPECT_NEAR(OGR_G_GetX(line, 0), OGR_F_GetFieldAsDouble(feature, field) - 0.5, 1e-5);
    OGR_F_Destroy(feature);
  }
  EXPECT_EQ(values, (std::multiset<double>{2, 4, 6, 8, 10}));
}

INSTANTIATE_TEST_SUITE_P(Formats, ContourFileTest,
                         testing::Values(ContourFileCase{"day.gpkg", "GPKG", {"day.gpkg"}},
                                         ContourFileCase{
                                             "day.SHP", "ESRI Shapefile", {"day.SHP", "day.shx", "day.dbf"}}),
                         [](const auto& info) { return info.param.driver == "GPKG" ? "GeoPackage" : "Shapefile"; });

TEST(ContourFile, ReplacesTheShapefileAndItsStaleSideFiles) {
  const TempDir dir;
  for (const char* name : {"day.shp", "day.shx", "day.dbf", "day.prj", "day.qix"}) dir.write(name, "older lines");
  write_contour_file(grid_of(11, 7, [](double x, double) { return static_cast<float>(x); }), 2,
                     (dir.path() / "day.shp").string());
  EXPECT_EQ(files_in(dir.path()), (std::set<std::string>{"day.shp", "day.shx", "day.dbf"}));
  EXPECT_NE(dir.read("day.dbf"), "older lines");
}

// Exactly max_contour_levels levels are drawn, one more refused.
TEST(Contours, IntervalLimits) {
  const auto ramp = [](float high) { return grid_of(2, 1, [high](double x, double) { return x == 0 ? 0.0f : high; }); };
  EXPECT_NO_THROW(grid_contours(ramp(static_cast<float>(max_contour_levels) - 1), 1));  // levels 0 to 9999
  EXPECT_NE(
      error_of([&] { grid_contours(ramp(static_cast<float>(max_contour_levels)), 1); }).find("more than 10000 levels"),
      std::string::npos);
  for (const double interval : {0.0, -1.0, static_cast<double>(NAN), static_cast<double>(INFINITY)}) {
    EXPECT_NE(error_of([&] { grid_contours(ramp(1), interval); }).find("interval must be a positive number"),
              std::string::npos)
        << interval;
  }
}

struct NameCase {
  std::string name;
  bool contours;
  std::string reason;
  std::string label;
  friend void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }
};

class FileNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(FileNameTest, UnknownEndingIsRefusedByName) {
  const TempDir dir;
  const std::string path = (dir.path() / GetParam().name).string();
  const std::string error = error_of([&] {
    if (GetParam().contours) {
      write_contour_file(bump_grid(), 1000, path);
    } else {
      write_grid_file(bump_grid(), path);
    }
  });
  EXPECT_EQ(error, path + ": " + GetParam().reason);
  EXPECT_TRUE(files_in(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(Names, FileNameTest,
                         testing::Values(NameCase{"day.xyz", false, "the grid file must end in .tif, .grd or .asc"},
                                         NameCase{"day", false, "the grid file must end in .tif, .grd or .asc"},
                                         NameCase{"day.tif.bak", false, "the grid file must end in .tif, .grd or .asc"},
                                         NameCase{"day.tif", true, "the contour file must end in .gpkg or .shp"}),
                         [](const auto& info) { return std::to_string(info.index); });

TEST(GridFile, TargetInAMissingFolderLeavesNothingBehind) {
  const TempDir dir;
  for (const std::string name : {"day.tif", "day.shp"}) {
    const std::string path = (dir.path() / "missing" / name).string();
    const std::string error = error_of([&] {
      if (name.ends_with(".shp")) {
        write_contour_file(bump_grid(), 1000, path);
      } else {
        write_grid_file(bump_grid(), path);
      }
    });
    EXPECT_EQ(error, path + ": the folder " + (dir.path() / "missing").string() + " does not exist");
  }
  EXPECT_TRUE(files_in(dir.path()).empty());
}

// The writes fail part-way: files may grow to 64 KiB only, or the target is a folder.
struct FailureCase {
  std::string name;
  bool target_is_folder;
  std::string label;
  friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }
};

class FailedWriteTest : public testing::TestWithParam<FailureCase> {};

TEST_P(FailedWriteTest, LeavesTheExistingTargetAsItWas) {
  const TempDir dir;
  const std::string name = GetParam().name;
  const bool contours = name.ends_with(".gpkg") || name.ends_with(".shp");
  if (GetParam().target_is_folder) {
    fs::create_directory(dir.path() / name);
    dir.write(name + "/kept", "kept");
  } else {
    dir.write(name, "the older file");
    if (name.ends_with(".shp")) dir.write("day.dbf", "the older table");
  }
  const std::set<std::string> before = files_in(dir.path());
  const Grid large =
      grid_of(300, 300, [](double x, double y) { return static_cast<float>(std::hypot(x - 100, y - 140)); });
  const std::string path = (dir.path() / name).string();

  rlimit old_limit{};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  if (!GetParam().target_is_folder) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{64 * 1024, old_limit.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  }
  const std::string error = error_of([&] {
    if (contours) {
      write_contour_file(large, 0.5, path);
    } else {
      write_grid_file(large, path);
    }
  });
  setrlimit(RLIMIT_FSIZE, &old_limit);

  EXPECT_TRUE(error.starts_with(path + ": ")) << error;
  EXPECT_GT(error.size(), path.size() + 2);
  EXPECT_EQ(files_in(dir.path()), before);
  if (GetParam().target_is_folder) {
    EXPECT_EQ(dir.read(name + "/kept"), "kept");
  } else {
    EXPECT_EQ(dir.read(name), "the older file");
  }
}

INSTANTIATE_TEST_SUITE_P(Failures, FailedWriteTest,
                         testing::Values(FailureCase{"day.tif", false, "FullDiskGeoTiff"},
                                         FailureCase{"day.grd", false, "FullDiskSurfer"},
                                         FailureCase{"day.asc", false, "FullDiskAscii"},
                                         FailureCase{"day.gpkg", false, "FullDiskGeoPackage"},
                                         FailureCase{"day.shp", false, "FullDiskShapefile"},
                                         FailureCase{"day.tif", true, "FolderInTheWayOfGeoTiff"},
                                         FailureCase{"day.shp", true, "FolderInTheWayOfShapefile"}),
                         [](const auto& info) { return info.param.label; });

// The window writes and contours off its own thread, maybe while the batch tool does too.
TEST(GridFile, WritesFromSeveralThreadsAtOnce) {
  const TempDir dir;
  std::vector<std::thread> workers;
  std::vector<std::size_t> line_counts(4);
  for (int k = 0; k < 4; ++k) {
    workers.emplace_back([&, k] {
      write_grid_file(bump_grid(), (dir.path() / ("day" + std::to_string(k) + ".tif")).string());
      line_counts[k] = grid_contours(grid_of(11, 7, [](double x, double) { return static_cast<float>(x); }), 2).size();
    });
  }
  for (std::thread& worker : workers) worker.join();
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(read_raster(dir.path() / ("day" + std::to_string(k) + ".tif")).at(bump_i, 4 - bump_j), bump_value);
    EXPECT_EQ(line_counts[k], 5u);
  }
}

}  // namespace
}  // namespace corvane
