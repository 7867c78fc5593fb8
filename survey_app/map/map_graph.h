#pragma once
// The survey map on a Vellum32 control: a point chart with one marker colour per dot,
// equal scales on both axes (east to the right, north up) whatever the control's shape,
// the dot under the pointer, and the colour bar that goes with it.
#include <QImage>
#include <QObject>
#include <QPolygonF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "grid/grid.h"
#include "map/survey_map.h"

class QIODevice;
class QPrinter;
class QPainter;

namespace vellum32 {
class Vellum32;
}

namespace corvane {

class DotGrid;

// What the map shows: its dots, its grid, or the dots over the grid.
enum class MapLayers { dots, grid, both };

// How a grid is drawn.
struct GridLook {
  bool hill_shading = false;
  bool contours = false;  // drawn only where the contour lines can be worked out
};

// A grid as the map draws it: the nodes' colours as an image, north-up (its first row the
// northern nodes, its first column the western), and the contour lines in plan units.
struct GridPicture {
  std::shared_ptr<const Grid> grid;
  QImage image;
  ColourStretch stretch;  // what the image is coloured on
  GridLook look;
  std::vector<QPolygonF> contours;
};

// Whether this build works out contour lines and writes grid files.
bool grid_files_available();
// The image of a grid's nodes coloured on `stretch`, north-up.
QImage grid_picture_image(const Grid& grid, const ColourStretch& stretch, bool hill_shading);
// The picture of `grid` coloured on `stretch`; any thread may make it.
GridPicture grid_picture(std::shared_ptr<const Grid> grid, const ColourStretch& stretch, GridLook look);
// The node of `grid` whose cell holds (x, y), as j x columns + i; -1 outside the grid or
// on an empty node.
std::int64_t grid_node_at(const Grid& grid, double x, double y);
// What the status bar shows for a node: "Grid 57312.4 nT at 125.0 E 350.0 N".
QString grid_node_text(const Grid& grid, std::int64_t node);

class MapGraph : public QObject {
  Q_OBJECT

public:
  // Sets the control up as the map's graph; the control must outlive this object.
  explicit MapGraph(vellum32::Vellum32& control, QObject* parent = nullptr);
  ~MapGraph() override;

  // Hands the map to the control, the whole map in view, and draws it when the control
  // is visible; a hidden control draws it when it is shown (or, never shown, at the
  // caller's Refresh). Errors of the control reach the caller as vellum32::Vellum32Error.
  void show(SurveyMap map);
  // As show, keeping the part of the plan in view (a map of the same survey after ticks).
  void showKeepingView(SurveyMap map);
  // As show, for a map the caller keeps, unchanged, for as long as this graph shows it:
  // the map is not copied.
  void showBorrowed(const SurveyMap& map);
  const SurveyMap& map() const { return *map_; }
  // Colours the dots of a map given to show anew on `stretch`, keeping the view; redraws.
  void recolour(ColourStretch stretch);
  // The values of the dots inside the shown axis limits that have one.
  std::vector<float> valuesInView() const;

  // The dot drawn nearest to (x, y) in data units within `pixels` screen pixels at the
  // current scale (of equal distances the one drawn last, which is on top); -1 for none.
  std::int64_t dotNear(double x, double y, double pixels) const;

  // The plot area, twips of the control's picture, for a picture of `pixels`.
  static QRectF plotArea(QSize pixels, double twipsPerPixelX, double twipsPerPixelY);

  // Draws `picture` under the dots (with its contour lines over it) while the layers
  // show the grid, keeping the view; redraws.
  void showGrid(GridPicture picture);
  void clearGrid();
  // The grid shown or kept for the grid layer; null without one.
  const GridPicture* grid() const { return picture_.grid ? &picture_ : nullptr; }
  // Shows the dots, the grid or both, keeping the view; redraws.
  void setLayers(MapLayers layers);
  MapLayers layers() const { return layers_; }
  // Whether the grid's picture is on the plot.
  bool gridDrawn() const { return picture_.grid && layers_ != MapLayers::dots; }

signals:
  // A click picked dot `dot` (an index into map().dots).
  void dotClicked(std::int64_t dot);
  // The pointer rests over dot `dot` (-1 for none or with the dots hidden) and grid node
  // `node` (grid_node_at; -1 with the grid hidden).
  void pointed(std::int64_t dot, std::int64_t node);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // Shows `view` (data units) whole, widened along one axis so that both axes have the
  // same scale in a picture of `pixels`. Does not draw.
  void setView(QRectF view, QSize pixels);
  QSize pictureSize() const;
  void keepScalesEqual();
  // The tick intervals for the shown limits; true when they changed.
  bool chooseTicks(QSize pixels);
  void registerColours();
  void draw();
  void display(const SurveyMap& map, bool keep_view = false);
  // The dots as the control's series, or with the dots hidden or none the corners of the
  // grid or of the dots; false with neither a dot nor a grid.
  bool registerSeries();
  // The dots and the grid's cells with a margin.
  QRectF wholeView() const;
  // The grid's image and contour lines handed to the control, or taken off it.
  void placeGrid();
  bool dotsShown() const { return layers_ != MapLayers::grid; }

  vellum32::Vellum32& control_;
  SurveyMap owned_;
  const SurveyMap* map_ = &owned_;  // owned_ or a borrowed map
  QRectF view_;                     // what was asked to be shown, data units
  bool drawAtShow_ = false;
  mutable std::unique_ptr<DotGrid> grid_;
  GridPicture picture_;
  MapLayers layers_ = MapLayers::dots;
  std::vector<double> corners_x_, corners_y_;  // the series of a grid without dots
  bool hasSeries_ = false;
  bool dotsRegistered_ = false;
};

// The colour bar's title: what the colours stand for.
QString colour_bar_title(const SurveyMap& map);
// The colour scale with its title and values, top = high; a grey swatch stands for
// "no value".
void paintColourBar(QPainter& painter, const QRect& area, const SurveyMap& map);

class ColourBar : public QWidget {
public:
  explicit ColourBar(QWidget* parent = nullptr);
  void setMap(const SurveyMap* map);
  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  const SurveyMap* map_ = nullptr;
};

// How a map picture takes the plot: the control's screen picture as it is, or its drawing
// records, which stay lines and shapes in an SVG file or on paper (for a sparse map; a
// dense one takes the picture).
enum class PlotAs { picture, drawing };

// The map picture: the plot of `control` (showing `map`) and the colour bar with its title
// to its right, drawn from (0, 0) in the control's pixels. Every copy, print and file of
// the map is this picture. A plot with a grid goes as the picture: drawing records leave
// the grid's image out. Drawing records are played at the screen's resolution, so the
// painter's device must have it (an image or an SVG generator made for it).
QSize map_picture_size(const vellum32::Vellum32& control);
void paint_map(QPainter& painter, vellum32::Vellum32& control, const SurveyMap& map, PlotAs how);
QImage map_image(vellum32::Vellum32& control, const SurveyMap& map);
// The map picture on `printer`'s page in its orientation, fitted whole; its plot keeps its
// colours exactly. Returns the failure's text, empty on success.
QString print_map(vellum32::Vellum32& control, const SurveyMap& map, QPrinter& printer, PlotAs how = PlotAs::drawing);
// The map picture as SVG into `device`, open for writing. Returns the failure's text,
// empty on success.
QString write_map_svg(vellum32::Vellum32& control, const SurveyMap& map, QIODevice& device,
                      PlotAs how = PlotAs::drawing);
// The same into the file `path`, replaced only when complete.
QString write_map_svg(vellum32::Vellum32& control, const SurveyMap& map, const QString& path,
                      PlotAs how = PlotAs::drawing);

// The map without a display, the plot drawn at `size` less the colour bar.
QImage render_map_image(const SurveyMap& map, QSize size);
// The map in grid mode without a display, as the pane shows it: `grid` coloured on the
// map's stretch (the grid's own when the map has no values) with `look`, its contour
// lines, and the colour bar.
QImage render_grid_image(const SurveyMap& map, const Grid& grid, QSize size, GridLook look = {});
// The stretch a grid shown with `map` is coloured on.
ColourStretch grid_layer_stretch(const SurveyMap& map, const Grid& grid);
// As render_map_image, into the SVG file `path`, replaced only when complete. Returns the
// failure's text, empty on success.
QString write_map_svg(const SurveyMap& map, QSize size, const QString& path);

}  // namespace corvane
