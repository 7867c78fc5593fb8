// corvane-batch --grid on the sample dumps and on an XYZ file exported from them, the grid
// read back through GDAL.
#include <gdal.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "batch_runner.h"

using namespace corvane::test;

namespace {

const std::string samples =
    std::string(CORVANE_SAMPLES_DIR) + "/envimag_0709.dat " + CORVANE_SAMPLES_DIR + "/mp2_0710.dat --date-order mdy";

struct Raster {
  int width = 0, height = 0;
  std::array<double, 6> transform{};
  std::vector<float> values;
};

Raster read_raster(const std::string& path) {
  GDALAllRegister();
  Raster r;
  GDALDatasetH ds = GDALOpen(path.c_str(), GA_ReadOnly);
  if (!ds) return r;
  r.width = GDALGetRasterXSize(ds);
  r.height = GDALGetRasterYSize(ds);
  GDALGetGeoTransform(ds, r.transform.data());
  r.values.resize(static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height));
  GDALRasterBandH band = GDALGetRasterBand(ds, 1);
  int has_no_data = 0;
  const double no_data = GDALGetRasterNoDataValue(band, &has_no_data);
  if (GDALRasterIO(band, GF_Read, 0, 0, r.width, r.height, r.values.data(), r.width, r.height, GDT_Float32, 0, 0) !=
      CE_None)
    r.values.clear();
  for (float& v : r.values)
    if (has_no_data && v == static_cast<float>(no_data)) v = NAN;
  GDALClose(ds);
  return r;
}

}  // namespace

// The same readings gridded from the dumps and from the XYZ file exported from them: the
// file's values are the dumps' to its one printed decimal.
TEST(BatchGrid, AnExportedXyzFileGridsAsItsDumps) {
  TempDir dir;
  const std::string from_dumps = dir.dir() + "/dumps.tif", from_xyz = dir.dir() + "/xyz.tif";
  Result r = run_batch("--grid " + from_dumps + " --cell 5 " + samples, dir);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("Grid: "), std::string::npos) << r.err;
  ASSERT_EQ(run_batch("--xyz " + dir.dir() + "/day.xyz --base-field 0 " + samples, dir).code, 0);
  r = run_batch("--grid " + from_xyz + " --cell 5 " + dir.dir() + "/day.xyz", dir);
  ASSERT_EQ(r.code, 0) << r.err;

  const Raster a = read_raster(from_dumps), b = read_raster(from_xyz);
  ASSERT_GT(a.width, 2);
  ASSERT_EQ(a.width, b.width);
  ASSERT_EQ(a.height, b.height);
  EXPECT_EQ(a.transform, b.transform);
  EXPECT_EQ(a.transform[1], 5.0);
  EXPECT_EQ(std::fmod(a.transform[0] + 2.5, 5.0), 0.0) << "pixel centres lie on multiples of the cell";
  std::size_t compared = 0;
  for (std::size_t k = 0; k < a.values.size(); ++k) {
    ASSERT_EQ(std::isnan(a.values[k]), std::isnan(b.values[k])) << k;
    if (std::isnan(a.values[k])) continue;
    EXPECT_NEAR(a.values[k], b.values[k], 0.06) << k;
    ++compared;
  }
  EXPECT_GT(compared, a.values.size() / 4);
}

TEST(BatchGrid, RefusalsNameTheReason) {
  TempDir dir;
  const struct {
    std::string args;
    int code;
    std::string said;
  } cases[] = {
      {"--grid out.txt " + samples, 2, "--grid needs a file ending in .tif, .grd or .asc"},
      {"--grid out.tif --tension 1 " + samples, 2, "--tension needs a number from 0 to below 1"},
      {"--grid out.tif --method spline " + samples, 2, "--method needs mincurv or lines"},
      {"--grid out.tif --cell 5 --xyz out.xyz " + samples, 2, "belong to different runs"},
      {"--grid " + dir.dir() + "/none/out.tif " + samples, 1, "out.tif"},
  };
  for (const auto& c : cases) {
    const Result r = run_batch(c.args, dir);
    EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << c.args << "\n" << r.err;
  }
}
