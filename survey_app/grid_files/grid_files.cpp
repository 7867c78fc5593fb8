#include "grid_files/grid_files.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>

#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal.h>
#include <gdal_alg.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include "grid_files/staged_files.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

enum class GridFormat { geotiff, surfer7, esri_ascii };
enum class ContourFormat { geopackage, shapefile };

[[noreturn]] void fail(const std::string& path, const std::string& reason) {
  throw GridFileError(path + ": " + reason);
}

// Paths reach GDAL and the file system as UTF-8 on every platform.
fs::path file_path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }
std::string utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string lower_extension(const std::string& path) {
  std::string extension = utf8(file_path(path).extension());
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension;
}

GridFormat grid_format(const std::string& path) {
  const std::string extension = lower_extension(path);
  if (extension == ".tif" || extension == ".tiff") return GridFormat::geotiff;
  if (extension == ".grd") return GridFormat::surfer7;
  if (extension == ".asc") return GridFormat::esri_ascii;
  fail(path, "the grid file must end in .tif, .grd or .asc");
}

ContourFormat contour_format(const std::string& path) {
  const std::string extension = lower_extension(path);
  if (extension == ".gpkg") return ContourFormat::geopackage;
  if (extension == ".shp") return ContourFormat::shapefile;
  fail(path, "the contour file must end in .gpkg or .shp");
}

const char* driver_name(GridFormat format) {
  switch (format) {
    case GridFormat::geotiff: return "GTiff";
    case GridFormat::surfer7: return "GS7BG";
    case GridFormat::esri_ascii: return "AAIGrid";
  }
  return "";
}

const char* driver_name(ContourFormat format) {
  return format == ContourFormat::geopackage ? "GPKG" : "ESRI Shapefile";
}

template <typename Format>
GDALDriverH writer(Format format, const std::string& path) {
  GDALDriverH driver = GDALGetDriverByName(driver_name(format));
  if (!driver) fail(path, std::string("this GDAL has no ") + driver_name(format) + " driver");
  return driver;
}

// Surfer recognises its own blank value only; elsewhere the lowest float, which no
// reading comes near.
double no_data_value(GridFormat format) {
  return format == GridFormat::surfer7 ? 1.701410009187828e+38 : std::numeric_limits<float>::lowest();
}
constexpr double contour_no_data = std::numeric_limits<float>::lowest();

// Side files of an earlier target that would describe the new one wrongly (statistics, a
// projection, a spatial index), removed when not rewritten.
std::vector<std::string> stale_side_files(const std::string& path, GridFormat format) {
  std::vector<std::string> endings{utf8(file_path(path).extension()) + ".aux.xml"};
  if (format == GridFormat::esri_ascii) endings.push_back(".prj");
  return endings;
}
std::vector<std::string> stale_side_files(ContourFormat format) {
  if (format == ContourFormat::geopackage) return {};
  return {".shx", ".dbf", ".prj", ".cpg", ".qix", ".sbn", ".sbx", ".qpj", ".shp.xml"};
}

std::optional<std::string> unwritable_grid(const Grid& grid) {
  const GridGeometry& geometry = grid.geometry;
  if (geometry.columns <= 0 || geometry.rows <= 0) return "the grid has no nodes";
  if (static_cast<std::int64_t>(grid.values.size()) != geometry.nodes()) {
    return "the grid has " + std::to_string(grid.values.size()) + " values for " + std::to_string(geometry.nodes()) +
           " nodes";
  }
  if (!(geometry.cell > 0) || !std::isfinite(geometry.cell)) return "the grid's cell must be a positive number";
  return std::nullopt;
}

std::optional<std::string> unusable_interval(const Grid& grid, double interval) {
  if (!(interval > 0) || !std::isfinite(interval)) return "the contour interval must be a positive number";
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const float value : grid.values) {
    if (std::isnan(value)) continue;
    low = std::min<double>(low, value);
    high = std::max<double>(high, value);
  }
  if (low > high) return std::nullopt;
  if (std::floor(high / interval) - std::ceil(low / interval) + 1 > max_contour_levels) {
    char reason[160];
    std::snprintf(reason, sizeof reason, "a contour interval of %g gives more than %g levels over the grid's values",
                  interval, max_contour_levels);
    return std::string(reason);
  }
  return std::nullopt;
}

void check_folder(const std::string& path) {
  const fs::path folder = file_path(path).parent_path();
  std::error_code error;
  if (!folder.empty() && !fs::is_directory(folder, error)) fail(path, "the folder " + utf8(folder) + " does not exist");
}

// GDAL keeps its driver list process-wide; registering it twice at once is not safe.
void register_gdal() {
  static std::once_flag once;
  std::call_once(once, [] { GDALAllRegister(); });
}

// Collects what GDAL reports on this thread (its error handlers are per thread) instead of
// printing it, keeping the first failure: the later ones are its consequences.
class GdalErrors {
public:
  GdalErrors() {
    CPLErrorReset();
    CPLPushErrorHandlerEx(&GdalErrors::report, this);
  }
  ~GdalErrors() { CPLPopErrorHandler(); }
  GdalErrors(const GdalErrors&) = delete;
  GdalErrors& operator=(const GdalErrors&) = delete;

  bool failed() const { return failed_; }
  std::string message() const { return message_.empty() ? "GDAL failed without saying why" : message_; }

private:
  static void CPL_STDCALL report(CPLErr kind, CPLErrorNum, const char* text) {
    auto* self = static_cast<GdalErrors*>(CPLGetErrorHandlerUserData());
    if (kind < CE_Failure || self->failed_) return;
    self->failed_ = true;
    self->message_ = text ? text : "";
  }

  bool failed_ = false;
  std::string message_;
};

struct CloseDataset {
  void operator()(void* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<void, CloseDataset>;
struct DestroyFeature {
  void operator()(void* feature) const { OGR_F_Destroy(feature); }
};
using Feature = std::unique_ptr<void, DestroyFeature>;

// North-up with the pixel centres on the nodes.
void set_geotransform(GDALDatasetH dataset, const GridGeometry& geometry) {
  double transform[6] = {
      geometry.west() - geometry.cell / 2, geometry.cell, 0, geometry.north() + geometry.cell / 2, 0, -geometry.cell};
  GDALSetGeoTransform(dataset, transform);
}

// An in-memory copy of the grid, north row first, empty nodes set to `no_data`. Null when
// GDAL could not make it (reported through GdalErrors).
Dataset memory_raster(const Grid& grid, double no_data) {
  const GridGeometry& geometry = grid.geometry;
  Dataset dataset(GDALCreate(GDALGetDriverByName("MEM"), "", geometry.columns, geometry.rows, 1, GDT_Float32, nullptr));
  if (!dataset) return dataset;
  set_geotransform(dataset.get(), geometry);
  GDALRasterBandH band = GDALGetRasterBand(dataset.get(), 1);
  GDALSetRasterNoDataValue(band, no_data);
  std::vector<float> row(static_cast<std::size_t>(geometry.columns));
  for (std::int32_t j = 0; j < geometry.rows; ++j) {
    for (std::int32_t i = 0; i < geometry.columns; ++i) {
      const float value = grid.at(i, j);
      row[static_cast<std::size_t>(i)] = std::isnan(value) ? static_cast<float>(no_data) : value;
    }
    if (GDALRasterIO(band, GF_Write, 0, geometry.rows - 1 - j, geometry.columns, 1, row.data(), geometry.columns, 1,
                     GDT_Float32, 0, 0) != CE_None) {
      return Dataset();
    }
  }
  return dataset;
}

std::string number_text(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

// A line layer with the Real field `value` (field 0) holding each line's level. The
// coordinates are a survey's local grid: a GeoPackage marks them as GeoPackage's undefined
// Cartesian system (srs_id -1), where without one they would pass for degrees of its
// undefined geographic one.
OGRLayerH create_contour_layer(GDALDatasetH dataset) {
  const bool geopackage = std::string_view(GDALGetDriverShortName(GDALGetDatasetDriver(dataset))) == "GPKG";
  OGRSpatialReferenceH local_grid =
      geopackage ? OSRNewSpatialReference("LOCAL_CS[\"Undefined Cartesian SRS\"]") : nullptr;
  OGRLayerH layer = GDALDatasetCreateLayer(dataset, "contours", local_grid, wkbLineString, nullptr);
  if (local_grid) OSRRelease(local_grid);
  if (!layer) return nullptr;
  OGRFieldDefnH field = OGR_Fld_Create("value", OFTReal);
  const OGRErr created = OGR_L_CreateField(layer, field, TRUE);
  OGR_Fld_Destroy(field);
  return created == OGRERR_NONE ? layer : nullptr;
}

// The contours at the multiples of `interval`, skipping the empty nodes.
bool generate_contours(GDALDatasetH raster, OGRLayerH layer, double interval) {
  char** options = nullptr;
  options = CSLSetNameValue(options, "LEVEL_INTERVAL", number_text(interval).c_str());
  options = CSLSetNameValue(options, "LEVEL_BASE", "0");
  options = CSLSetNameValue(options, "NODATA", number_text(contour_no_data).c_str());
  options = CSLSetNameValue(options, "ELEV_FIELD", "0");
  const CPLErr result = GDALContourGenerateEx(GDALGetRasterBand(raster, 1), layer, options, nullptr, nullptr);
  CSLDestroy(options);
  return result == CE_None;
}

// The contour lines into `dataset`'s new layer, inside one transaction where the format
// has them (a GeoPackage writes far faster so).
bool write_contours(GDALDatasetH dataset, const Grid& grid, double interval) {
  const Dataset raster = memory_raster(grid, contour_no_data);
  if (!raster) return false;
  OGRLayerH layer = create_contour_layer(dataset);
  if (!layer) return false;
  const bool transaction = GDALDatasetTestCapability(dataset, ODsCTransactions) &&
                           GDALDatasetStartTransaction(dataset, FALSE) == OGRERR_NONE;
  const bool generated = generate_contours(raster.get(), layer, interval);
  if (transaction) {
    return generated ? GDALDatasetCommitTransaction(dataset) == OGRERR_NONE
                     : (GDALDatasetRollbackTransaction(dataset), false);
  }
  return generated;
}

GDALDatasetH vector_memory_dataset() {
  // "Memory" until GDAL 3.11 folded it into MEM.
  GDALDriverH driver = GDALGetDriverByName("Memory");
  if (!driver) driver = GDALGetDriverByName("MEM");
  return driver ? GDALCreate(driver, "", 0, 0, 0, GDT_Unknown, nullptr) : nullptr;
}

std::vector<ContourLine> read_contour_lines(OGRLayerH layer) {
  std::vector<ContourLine> lines;
  OGR_L_ResetReading(layer);
  for (Feature feature(OGR_L_GetNextFeature(layer)); feature; feature.reset(OGR_L_GetNextFeature(layer))) {
    OGRGeometryH geometry = OGR_F_GetGeometryRef(feature.get());
    if (!geometry) continue;
    ContourLine line;
    line.level = OGR_F_GetFieldAsDouble(feature.get(), 0);
    const int count = OGR_G_GetPointCount(geometry);
    line.points.reserve(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) line.points.emplace_back(OGR_G_GetX(geometry, k), OGR_G_GetY(geometry, k));
    lines.push_back(std::move(line));
  }
  return lines;
}

// GDAL names the file it was given: the user knows the target, named once, in front.
std::string named_as_target(std::string text, const StagedFiles& staged, const std::string& path) {
  const std::string temporary = utf8(staged.temporary());
  for (std::size_t at = text.find(temporary); at != std::string::npos; at = text.find(temporary, at + path.size())) {
    text.replace(at, temporary.size(), path);
  }
  if (text.starts_with(path + ": ")) text.erase(0, path.size() + 2);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

void commit(StagedFiles& staged, const std::vector<std::string>& stale, const std::string& path) {
  try {
    staged.commit(stale);
  } catch (const fs::filesystem_error& error) {
    fail(path, "could not replace it: " + error.code().message());
  }
}

}  // namespace

void write_grid_file(const Grid& grid, const std::string& path) {
  const GridFormat format = grid_format(path);
  if (const auto reason = unwritable_grid(grid)) fail(path, *reason);
  check_folder(path);
  register_gdal();

  StagedFiles staged(file_path(path));
  {
    GdalErrors errors;
    {
      const Dataset source = memory_raster(grid, no_data_value(format));
      const Dataset written(source ? GDALCreateCopy(writer(format, path), utf8(staged.temporary()).c_str(),
                                                    source.get(), TRUE, nullptr, nullptr, nullptr)
                                   : nullptr);
      if (!written && !errors.failed()) fail(path, "GDAL could not write it");
    }  // closed here: the last bytes are written on closing
    if (errors.failed()) fail(path, named_as_target(errors.message(), staged, path));
  }
  commit(staged, stale_side_files(path, format), path);
}

std::vector<ContourLine> grid_contours(const Grid& grid, double interval) {
  if (const auto reason = unwritable_grid(grid)) throw GridFileError("contours: " + *reason);
  if (const auto reason = unusable_interval(grid, interval)) throw GridFileError("contours: " + *reason);
  register_gdal();

  GdalErrors errors;
  const Dataset memory(vector_memory_dataset());
  if (!memory || !write_contours(memory.get(), grid, interval) || errors.failed()) {
    throw GridFileError("contours: " + errors.message());
  }
  return read_contour_lines(GDALDatasetGetLayer(memory.get(), 0));
}

void write_contour_file(const Grid& grid, double interval, const std::string& path) {
  const ContourFormat format = contour_format(path);
  if (const auto reason = unwritable_grid(grid)) fail(path, *reason);
  if (const auto reason = unusable_interval(grid, interval)) fail(path, *reason);
  check_folder(path);
  register_gdal();

  StagedFiles staged(file_path(path));
  {
    GdalErrors errors;
    {
      const Dataset written(
          GDALCreate(writer(format, path), utf8(staged.temporary()).c_str(), 0, 0, 0, GDT_Unknown, nullptr));
      const bool complete = written && write_contours(written.get(), grid, interval);
      if (!complete && !errors.failed()) fail(path, "GDAL could not write it");
    }
    if (errors.failed()) fail(path, named_as_target(errors.message(), staged, path));
  }
  commit(staged, stale_side_files(format), path);
}

}  // namespace corvane
