#include "grid/grid_input.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "correction/base_match.h"
#include "dump_fixture.h"
#include "export/export_command.h"
#include "grid_reference.h"

using namespace corvane;
using namespace corvane::test;

namespace {

std::string sample(const char* name) {
  std::ifstream in(std::string(CORVANE_SAMPLES_DIR) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The points of line `line` as (x, y, value).
std::vector<std::array<double, 3>> points_of(const GridInput& input, std::int32_t line) {
  std::vector<std::array<double, 3>> out;
  for (const GridPoint& p : input.points)
    if (p.line == line) out.push_back({p.x, p.y, p.value});
  return out;
}

}  // namespace

class GridInputTest : public ReaderTest {
protected:
  ExportRequest request;
  void SetUp() override {
    request.directory = dir.dir();
    request.base_field_text = "57000";
  }
  std::string export_xyz(bool raw) {
    request.apply_corrections = !raw;
    request.file_name_text = raw ? "raw.xyz" : "corrected.xyz";
    EXPECT_EQ(command_save_data(model, request, export_xyz_button, op), ExportResult::complete);
    return dir.dir() + "/" + request.file_name_text;
  }
};

TEST_F(GridInputTest, TheLinesAndReadingsTheExportWrites) {
  run_one(keyword_base_header("05/12/96", "10 MIN") + "14:00:00 57310.2 0.0 0.0\n" +
          keyword_field_header("100N", "05/12/96") +
          "25 N 57321.4 0.1 14:03:07\n50 N 57330.0 0.1 14:12:00\n"
          "-25 N 57300.0 0.1 13:59:59\n"  // before the base session: no corrected value
          "75 N 57290.0 0.1 14:20:00\n0 N 57299.5 0.1 14:00:00\n" +
          keyword_field_header("200N", "05/12/96") + "0 N 1.0 0 09:00:00\n10 N 2.0 0 09:01:00\n" +  // no base
          keyword_field_header("300E", "05/12/96") + "0 N 57310.2 0 14:01:00\n10 N 57312.2 0 14:02:00\n" +
          keyword_field_header("400N", "05/12/96") + "0 N 5.0 0 14:01:00\n10 N 6.0 0 14:02:00\n" +  // unticked
          keyword_field_header("500N", "05/12/96") + "0 N 5.0 0 14:01:00\n");                       // one reading
  set_node_checked(model, block(5).node, false);

  const GridInput corrected = grid_input(model, false, 57000.0f);
  ASSERT_EQ(corrected.lines.size(), 2u);
  EXPECT_EQ(corrected.lines[0].coordinate, 100.0);
  EXPECT_TRUE(corrected.lines[0].along_x);
  EXPECT_EQ(corrected.lines[1].coordinate, 300.0);
  EXPECT_FALSE(corrected.lines[1].along_x);
  const auto line_100 = points_of(corrected, 0);
  ASSERT_EQ(line_100.size(), 4u);
  for (const auto& [x, y, value] : line_100) {
    EXPECT_EQ(y, 100.0);
    if (x == 0) {
      EXPECT_FLOAT_EQ(value, 56989.3f);
    } else if (x == 75) {
      EXPECT_FLOAT_EQ(value, 56979.8f);
    }
  }
  const auto line_300 = points_of(corrected, 1);
  ASSERT_EQ(line_300.size(), 2u);
  EXPECT_EQ(line_300[1][0], 300.0);
  EXPECT_EQ(line_300[1][1], 10.0);
  EXPECT_FLOAT_EQ(line_300[1][2], 57002.0f);

  const GridInput raw = grid_input(model, true, 57000.0f);
  ASSERT_EQ(raw.lines.size(), 3u);
  EXPECT_EQ(raw.lines[1].coordinate, 200.0);
  EXPECT_EQ(points_of(raw, 0).size(), 5u);
  EXPECT_EQ(points_of(raw, 1), (std::vector<std::array<double, 3>>{{0, 200, 1.0}, {10, 200, 2.0}}));
}

TEST_F(GridInputTest, TheSamplesAndTheirXyzExportGiveTheSamePoints) {
  run({{"envimag_0709.dat", sample("envimag_0709.dat")}, {"mp2_0710.dat", sample("mp2_0710.dat")}});
  for (const bool raw : {false, true}) {
    const GridInput from_model = grid_input(model, raw, 57000.0f);
    const GridInput from_file = grid_input_from_xyz(export_xyz(raw), raw);
    ASSERT_GE(from_model.lines.size(), 10u) << raw;
    ASSERT_GE(from_model.points.size(), 150u) << raw;
    ASSERT_EQ(from_file.lines.size(), from_model.lines.size()) << raw;
    for (std::size_t l = 0; l < from_model.lines.size(); ++l) {
      EXPECT_EQ(from_file.lines[l].coordinate, from_model.lines[l].coordinate) << l;
      EXPECT_EQ(from_file.lines[l].along_x, from_model.lines[l].along_x) << l;
    }
    ASSERT_EQ(from_file.points.size(), from_model.points.size()) << raw;
    // The file prints one decimal.
    for (std::size_t i = 0; i < from_model.points.size(); ++i) {
      const GridPoint& a = from_model.points[i];
      const GridPoint& b = from_file.points[i];
      EXPECT_EQ(b.line, a.line) << i;
      EXPECT_NEAR(b.x, a.x, 0.05 + 1e-9) << i;
      EXPECT_NEAR(b.y, a.y, 0.05 + 1e-9) << i;
      EXPECT_NEAR(b.value, a.value, 0.05 + 0.004) << i;
    }
  }
  // Some readings of the samples have no corrected value, or lines no base session.
  EXPECT_LT(grid_input(model, false, 0.0f).points.size(), grid_input(model, true, 0.0f).points.size());
}

// The grid `gmt surface -T0.25` made of the samples' corrected readings (data/README.md).
// Their lines lie up to ten cells apart around a sharp 1800 nT peak, where neither solver
// converges far: GMT's own grid at its default limit and at a hundred times tighter differ
// by 1.8 % of the range, so the two are held to within 1 %, not to the 0.5 % of denser
// surveys.
TEST_F(GridInputTest, TheSamplesGridAsGmtSurfaceGridsThem) {
  run({{"envimag_0709.dat", sample("envimag_0709.dat")}, {"mp2_0710.dat", sample("mp2_0710.dat")}});
  GridOptions options;
  options.cell = 10;
  options.blanking = 0;
  const GridInput input = grid_input(model, false, 0.0f);
  const Grid grid = make_grid(input, options);
  EXPECT_EQ(grid.geometry.west(), -100);
  EXPECT_EQ(grid.geometry.north(), 650);
  EXPECT_LT(rms_from_reference(grid, std::string(CORVANE_TEST_DATA_DIR) + "/samples_reference.xyz"),
            0.01 * data_range(input));
}

TEST_F(GridInputTest, TheExportHeadIsRecognised) {
  run_one(sample("mp2_0710.dat"));
  const std::string text = dir.read(std::filesystem::path(export_xyz(false)).filename());
  std::string lf = text;
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  std::string other_columns = text;
  other_columns.replace(other_columns.find("Raw_mag"), 7, "Raw_MAG");
  const struct {
    std::string bytes;
    bool recognised;
  } cases[] = {
      {text.substr(0, xyz_head_bytes), true},
      {lf.substr(0, xyz_head_bytes), true},
      {other_columns.substr(0, xyz_head_bytes), false},
      {text.substr(88), false},  // the first line missing
      {sample("mp2_0710.dat").substr(0, xyz_head_bytes), false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_corvane_xyz(c.bytes), c.recognised) << c.bytes.substr(0, 120);
}

TEST_F(GridInputTest, ErrorsNameTheFileAndTheRow) {
  run_one(sample("mp2_0710.dat"));
  const std::string text = dir.read(std::filesystem::path(export_xyz(false)).filename());
  const std::size_t first_line = text.find("/Line ");
  const std::string head = text.substr(0, first_line);
  const std::string row = "      400.0      -25.0      400.0    57300.0          *          * 1996/07/10 13:59:59\r\n";
  const struct {
    std::string name, bytes, message;
  } cases[] = {
      {"missing.xyz", "", "cannot open " + dir.dir() + "/missing.xyz: No such file or directory"},
      {"dump.xyz", sample("mp2_0710.dat"), dir.dir() + "/dump.xyz is not an XYZ file"},
      {"early.xyz", head + row, dir.dir() + "/early.xyz, line 10: a row before the first"},
      {"short.xyz", text + row.substr(0, 60) + "\r\n",
       dir.dir() + "/short.xyz, line " + std::to_string(std::count(text.begin(), text.end(), '\n') + 1) +
           ": not a row of"},
      {"letters.xyz", head + "/Line       400N\r\n" + row + "      400.0      -2x.0" + row.substr(22),
       dir.dir() + "/letters.xyz, line 12: not a row of"},
  };
  for (const auto& c : cases) {
    if (!c.bytes.empty()) dir.write(c.name, c.bytes);
    try {
      grid_input_from_xyz(dir.dir() + "/" + c.name, false);
      ADD_FAILURE() << c.name << " was read";
    } catch (const GridError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
  }
  // The same rows, well formed, are read.
  dir.write("good.xyz", head + "/Line       400N\r\n" + row);
  EXPECT_EQ(grid_input_from_xyz(dir.dir() + "/good.xyz", true).points.size(), 1u);
}
