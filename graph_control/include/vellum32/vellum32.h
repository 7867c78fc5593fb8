#pragma once

#include <QFont>
#include <QFrame>
#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "vellum32/control_operator.h"
#include "vellum32/data_table.h"
#include "vellum32/drawing.h"
#include "vellum32/errors.h"
#include "vellum32/export.h"
#include "vellum32/group_data.h"
#include "vellum32/property_store.h"
#include "vellum32/types.h"

class QMenu;
class QAction;
class QScrollBar;
class QPushButton;
class QPainter;
class QMouseEvent;
class QWheelEvent;
class QKeyEvent;

namespace vellum32 {

class PictureBox;
class Primitives;
struct ControlState;
struct ControlAccess;
struct PlotSurface;

// The Vellum32 graph control: an embeddable plot widget. A host places it, sets its
// properties, hands it a table of data rows (RegisterData) and calls Refresh to draw.
//
// Every property has a getter named as the property and a setter setX(New_X). Property
// assignments never redraw by themselves. Errors are raised to the caller as Vellum32Error.
class VELLUM32_EXPORT Vellum32 : public QFrame {
  Q_OBJECT

  // Properties of the control surface.
  Q_PROPERTY(qint32 BackColor READ BackColor WRITE setBackColor)
  Q_PROPERTY(qint32 ForeColor READ ForeColor WRITE setForeColor)
  Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
  Q_PROPERTY(QFont Font READ Font WRITE setFont)
  Q_PROPERTY(vellum32::BorderStyleTypes BorderStyle READ BorderStyle WRITE setBorderStyle)
  Q_PROPERTY(vellum32::BackStyleTypes BackStyle READ BackStyle WRITE setBackStyle)
  // Plot properties.
  Q_PROPERTY(QString Title READ Title WRITE setTitle)
  Q_PROPERTY(std::optional<QFont> TitleFont READ TitleFont WRITE setTitleFont)
  Q_PROPERTY(bool PlotPoints READ PlotPoints WRITE setPlotPoints)
  Q_PROPERTY(bool DisplayLegend READ DisplayLegend WRITE setDisplayLegend)
  Q_PROPERTY(bool DisplayAxes READ DisplayAxes WRITE setDisplayAxes)
  Q_PROPERTY(bool SetMargins READ SetMargins WRITE setSetMargins)
  Q_PROPERTY(bool DoZoom READ DoZoom WRITE setDoZoom)
  Q_PROPERTY(qint32 ZoomXSplit READ ZoomXSplit WRITE setZoomXSplit)
  Q_PROPERTY(qint32 ZoomXSplitLeft READ ZoomXSplitLeft WRITE setZoomXSplitLeft)
  Q_PROPERTY(qint32 ZoomXSplitRight READ ZoomXSplitRight WRITE setZoomXSplitRight)
  Q_PROPERTY(float XaxisZoomCentre READ XaxisZoomCentre WRITE setXaxisZoomCentre)
  Q_PROPERTY(float XaxisZoomRange READ XaxisZoomRange WRITE setXaxisZoomRange)
  Q_PROPERTY(vellum32::ZoomXTypes ZoomXType READ ZoomXType WRITE setZoomXType)
  Q_PROPERTY(qint32 ZoomYSplit READ ZoomYSplit WRITE setZoomYSplit)
  Q_PROPERTY(qint32 ZoomYSplitTop READ ZoomYSplitTop WRITE setZoomYSplitTop)
  Q_PROPERTY(qint32 ZoomYSplitBottom READ ZoomYSplitBottom WRITE setZoomYSplitBottom)
  Q_PROPERTY(float YAxisZoomCentre READ YAxisZoomCentre WRITE setYAxisZoomCentre)
  Q_PROPERTY(float YAxisZoomRange READ YAxisZoomRange WRITE setYAxisZoomRange)
  Q_PROPERTY(vellum32::ZoomYTypes ZoomYType READ ZoomYType WRITE setZoomYType)
  Q_PROPERTY(float YAxisMin READ YAxisMin WRITE setYAxisMin)
  Q_PROPERTY(float YAxisMax READ YAxisMax WRITE setYAxisMax)
  Q_PROPERTY(float yTickInterval READ yTickInterval WRITE setyTickInterval)
  Q_PROPERTY(float YAxisCutoff READ YAxisCutoff WRITE setYAxisCutoff)
  Q_PROPERTY(vellum32::AxisTypes YAxisType READ YAxisType WRITE setYAxisType)
  Q_PROPERTY(QString YAxisLabel READ YAxisLabel WRITE setYAxisLabel)
  Q_PROPERTY(float YAxisTopMargin READ YAxisTopMargin WRITE setYAxisTopMargin)
  Q_PROPERTY(float YAxisBottomMargin READ YAxisBottomMargin WRITE setYAxisBottomMargin)
  Q_PROPERTY(float XAxisMin READ XAxisMin WRITE setXAxisMin)
  Q_PROPERTY(float XAxisMax READ XAxisMax WRITE setXAxisMax)
  Q_PROPERTY(float xTickInterval READ xTickInterval WRITE setxTickInterval)
  Q_PROPERTY(float XAxisCutoff READ XAxisCutoff WRITE setXAxisCutoff)
  Q_PROPERTY(vellum32::AxisTypes XAxisType READ XAxisType WRITE setXAxisType)
  Q_PROPERTY(QString XAxisLabel READ XAxisLabel WRITE setXAxisLabel)
  Q_PROPERTY(float XAxisLeftMargin READ XAxisLeftMargin WRITE setXAxisLeftMargin)
  Q_PROPERTY(float XAxisRightMargin READ XAxisRightMargin WRITE setXAxisRightMargin)
  Q_PROPERTY(float DataNull READ DataNull WRITE setDataNull)
  Q_PROPERTY(qint32 MarkerSize READ MarkerSize WRITE setMarkerSize)
  Q_PROPERTY(float XBaseLog READ XBaseLog WRITE setXBaseLog)
  Q_PROPERTY(float YBaseLog READ YBaseLog WRITE setYBaseLog)
  Q_PROPERTY(vellum32::ChartTypes ChartType READ ChartType WRITE setChartType)
  Q_PROPERTY(bool WheelZoom READ WheelZoom WRITE setWheelZoom)

public:
  explicit Vellum32(QWidget* parent = nullptr);
  ~Vellum32() override;

  // --- Properties of the control surface -------------------------------------------
  // Colours are RGB values with red in the low byte; values with the top bit set name
  // system colours of the host (SystemButtonFace, SystemButtonText, ...).
  qint32 BackColor() const;
  void setBackColor(qint32 New_BackColor);
  qint32 ForeColor() const;
  void setForeColor(qint32 New_ForeColor);
  bool Enabled() const;
  void setEnabled(bool New_Enabled);
  QFont Font() const;
  void setFont(QFont New_Font);
  BorderStyleTypes BorderStyle() const;
  // Raises error 380 for a style the surface does not know and 6 for a value outside
  // the 16-bit range.
  void setBorderStyle(BorderStyleTypes New_BorderStyle);
  // Has no state: always reads Transparent; assigning only marks the property changed.
  BackStyleTypes BackStyle() const;
  void setBackStyle(BackStyleTypes New_BackStyle);

  // --- Plot properties ---------------------------------------------------------------
  QString Title() const;
  void setTitle(QString New_Title);
  // Face name and size of every text drawn on the plot; none until assigned or loaded.
  std::optional<QFont> TitleFont() const;
  void setTitleFont(std::optional<QFont> New_TitleFont);
  bool PlotPoints() const;
  void setPlotPoints(bool New_PlotPoints);
  bool DisplayLegend() const;
  void setDisplayLegend(bool New_DisplayLegend);
  bool DisplayAxes() const;
  void setDisplayAxes(bool New_DisplayAxes);
  bool SetMargins() const;
  void setSetMargins(bool New_SetMargins);
  // Assigning a different value shows or hides the zoom strip, lays the children out
  // again and refreshes; an equal value does nothing.
  bool DoZoom() const;
  void setDoZoom(bool New_DoZoom);

  qint32 ZoomXSplit() const;
  void setZoomXSplit(qint32 New_ZoomXSplit);
  qint32 ZoomXSplitLeft() const;
  void setZoomXSplitLeft(qint32 New_ZoomXSplitLeft);
  qint32 ZoomXSplitRight() const;
  void setZoomXSplitRight(qint32 New_ZoomXSplitRight);
  ZoomXTypes ZoomXType() const;
  void setZoomXType(ZoomXTypes New_ZoomXType);
  qint32 ZoomYSplit() const;
  void setZoomYSplit(qint32 New_ZoomYSplit);
  qint32 ZoomYSplitTop() const;
  void setZoomYSplitTop(qint32 New_ZoomYSplitTop);
  qint32 ZoomYSplitBottom() const;
  void setZoomYSplitBottom(qint32 New_ZoomYSplitBottom);
  ZoomYTypes ZoomYType() const;
  void setZoomYType(ZoomYTypes New_ZoomYType);

  // Zoom percentages: centre of the shown range within the home range and its width
  // relative to the home range. Assigning moves or scales the current limits and
  // refreshes; they are neither persisted nor marked changed.
  float XaxisZoomCentre() const;
  void setXaxisZoomCentre(float New_XaxisZoomCentre);
  float XaxisZoomRange() const;
  void setXaxisZoomRange(float New_XaxisZoomRange);
  float YAxisZoomCentre() const;
  void setYAxisZoomCentre(float New_YAxisZoomCentre);
  float YAxisZoomRange() const;
  void setYAxisZoomRange(float New_YAxisZoomRange);

  // Axis limits in data units (AutoLimit = derived from the data). Assigning sets the
  // current and the home limit.
  float YAxisMin() const;
  void setYAxisMin(float New_YAxisMin);
  float YAxisMax() const;
  void setYAxisMax(float New_YAxisMax);
  float XAxisMin() const;
  void setXAxisMin(float New_XAxisMin);
  float XAxisMax() const;
  void setXAxisMax(float New_XAxisMax);

  float yTickInterval() const;
  void setyTickInterval(float New_yTickInterval);
  float xTickInterval() const;
  void setxTickInterval(float New_xTickInterval);
  // Linear half-width of a LogLinear axis; an assignment is snapped to a power of the
  // axis base not above the value (0.05 gives 0.01 with base 10); a value <= 0 gives 1.
  float YAxisCutoff() const;
  void setYAxisCutoff(float New_YAxisCutoff);
  float XAxisCutoff() const;
  void setXAxisCutoff(float New_XAxisCutoff);
  AxisTypes YAxisType() const;
  void setYAxisType(AxisTypes New_YAxisType);
  AxisTypes XAxisType() const;
  void setXAxisType(AxisTypes New_XAxisType);
  QString YAxisLabel() const;
  void setYAxisLabel(QString New_YAxisLabel);
  QString XAxisLabel() const;
  void setXAxisLabel(QString New_XAxisLabel);

  float YAxisTopMargin() const;
  void setYAxisTopMargin(float New_YAxisTopMargin);
  float YAxisBottomMargin() const;
  void setYAxisBottomMargin(float New_YAxisBottomMargin);
  float XAxisLeftMargin() const;
  void setXAxisLeftMargin(float New_XAxisLeftMargin);
  float XAxisRightMargin() const;
  void setXAxisRightMargin(float New_XAxisRightMargin);

  // Y input value treated as missing (takes effect at the next RegisterData).
  float DataNull() const;
  void setDataNull(float New_DataNull);
  qint32 MarkerSize() const;
  void setMarkerSize(qint32 New_MarkerSize);
  // Logarithm base of a LogLinear axis; a value <= 0 is ignored.
  float XBaseLog() const;
  void setXBaseLog(float New_XBaseLog);
  float YBaseLog() const;
  void setYBaseLog(float New_YBaseLog);
  ChartTypes ChartType() const;
  void setChartType(ChartTypes New_ChartType);

  // Whether the mouse wheel zooms both axes about the pointer (3/4 or 4/3 of the span a
  // step). Persisted under "WheelZoom" with the default true.
  bool WheelZoom() const;
  void setWheelZoom(bool New_WheelZoom);

  // Marker code of one point: series `Series` of group `nGroup` (1 = the group's first),
  // point `DataPoint`. Raises error 9 for an index outside the store. No redraw.
  qint32 PointMarker(qint32 nGroup, qint32 Series, qint32 DataPoint) const;
  void setPointMarker(qint32 nGroup, qint32 Series, qint32 DataPoint, qint32 New_PointMarker);

  // The current limits back to the home limits, redrawn; raises ZoomChanged. A failing
  // redraw reaches the caller.
  void ResetZoom();

  // The selected point: true while one is selected, with its group, series within the
  // group and point written into the arguments (left alone otherwise).
  bool SelectPoint(qint32& nGroup, qint32& Series, qint32& DataPoint) const;
  // Selects the point (true) and marks it, or removes the selection (false). A request
  // for a series or point outside the store, or an unselectable series, changes
  // nothing; a group outside the store raises error 9. Raises no event.
  void setSelectPoint(qint32 nGroup, qint32 Series, qint32 DataPoint, bool New_SelectPoint);

  // --- Data registration -------------------------------------------------------------
  // Rebuilds the series store from a table: row 0 and every row whose header (cell 0)
  // is 1 are X rows, each opening a group; the other rows are the group's Y series.
  // Values are read up to the first empty cell. A Y value that is not finite is missing,
  // like one equal to DataNull; an X value that is not finite makes its point missing in
  // every series of the group. Raises 9 for more than 128 series or a last row that is
  // an X row, 13 for a cell that is not a number, 6 for a number out of range. On
  // failure the store is left as it was. Does not draw.
  void RegisterData(const DataTable& RegData);
  // As RegisterData of a two-row table (row 0 the x values, row 1 one series of y values),
  // without a variant per cell. x and y have the same length; a NaN y is missing.
  // Raises 9 when the lengths differ, 6 for more points than a qint32 counts.
  void RegisterData(std::span<const double> x, std::span<const double> y);
  // The store RegisterData builds from a table of the same numbers, without a variant per
  // value: each group's X values shared by its series (style codes 0). Raises 9 for a Y
  // array longer than its group's X or more series than the control has options for.
  void RegisterData(std::span<const GroupData> groups);
  // An image drawn under the series: the centre of its first pixel (top left) at (x0, y0)
  // and of its last (bottom right) at (x1, y1), data units, so that a north-up grid has
  // y0 > y1. It is drawn on every target, the screen, the printed page and SVG files,
  // clipped to the plot area and scaled with smooth sampling or, without, nearest; it
  // does not move the automatic limits. Graphics streams leave it out. An image less than
  // two pixels wide or high draws nothing, and so does a control without data. Does not
  // draw; Clear keeps it and ClearImageLayer removes it.
  void SetImageLayer(const QImage& image, double x0, double y0, double x1, double y1, bool smooth = false);
  void ClearImageLayer();
  // Copies marker codes (RegisterMarker) or marker colours (RegisterMarkerColour) from
  // a table addressed by global series index and point. nGroup < 1: every series;
  // nSeries < 1: every series of the group; nPoint < 1: every point.
  void RegisterMarker(const DataTable& RegMarker, qint32 nGroup = -1, qint32 nSeries = -1, qint32 nPoint = -1);
  void RegisterMarkerColour(const DataTable& RegMarkerColour, qint32 nGroup = -1, qint32 nSeries = -1,
                            qint32 nPoint = -1);
  // As RegisterMarkerColour for series (nGroup, nSeries) from a plain array, one colour per point.
  void RegisterMarkerColour(std::span<const qint32> colours, qint32 nGroup, qint32 nSeries);
  // The default colour of pen irpt (a table of 16 colours repeating); raises 5 for a
  // negative irpt that is not a multiple of 16, leaving pcol unchanged.
  void set_pen_colour(qint32 irpt, qint32& pcol) const;
  static qint32 DefaultPenColour(qint32 irpt);
  // Options of series `Series` of group `nGroup`. Invalid group or series numbers are
  // reported through the operator ("The group number is invalid", "The series index is
  // invalid") and change nothing.
  void SetSeriesOptions(qint32 nGroup, qint32 Series, qint32 PlotColor = -1, const QString& Legend = QString(),
                        qint32 iPlotMarker = 0, qint32 iSelectable = -1, qint32 LineWeight = 1);
  // Empties the series store and the overlay (ClearGraphics) and clears the picture.
  // Options and axis settings stay.
  void Clear();
  // Lays the children out and draws the whole plot on the picture: legend, axes with
  // title and labels, the series, the selection mark and the overlay. An empty control
  // shows the cleared picture and the overlay. An error inside the drawing reaches the
  // caller as 32007 "Error n plotting graph: ..." with what was drawn up to it.
  void Refresh();

  // --- Graphics overlay ----------------------------------------------------------------
  // Drawing in data units of the axes over the plot. Each call is drawn at once, clipped
  // like the plot, and recorded (values as passed) so that DrawGraphics draws it again at
  // the current scale. Colours of -1 mean no outline or no fill; line widths are device
  // units. Errors of the axis transform reach the caller and record nothing.
  void DrawMarker(float x, float y, qint32 marker_ind, qint32 LineColour);
  void DrawText(float text_angle, float x, float y, const QString& chstr);
  void DrawRectangle(float xdp1, float ydp1, float xdp2, float ydp2, qint32 BorderColour, qint32 FillColour,
                     qint32 LineWidth);
  // Points 1..np of xdpl and ydpl (element 0 is not used); np < 2 does nothing. Raises 9
  // when a list is shorter than np + 1.
  void DrawPolygon(qint32 np, const QList<float>& xdpl, const QList<float>& ydpl, qint32 BorderColour,
                   qint32 FillColour, qint32 LineWidth);
  void DrawLine(float x1, float y1, float x2, float y2, qint32 LineColour, qint32 LineWidth);
  // Empties the overlay list and turns recording on.
  void ClearGraphics();
  // Draws the overlay list again with the current axes. Stops at the first failing
  // record and raises its error; recording then stays off until the next ClearGraphics
  // or completed DrawGraphics.
  void DrawGraphics();

  // --- Graphics stream -----------------------------------------------------------------
  // The plot as drawing records (or the legend alone for numgraphics < 0 on entry), in
  // twips of the plot surface; numgraphics becomes the number of entries in use. Entry 0
  // is empty; records start at 1, each its code (qint16) followed by its values:
  //  1 clip window: left, right, top, bottom (float)
  // 10 line: x1, y1, x2, y2 (float), colour, width (qint32)
  // 11 marker: x, y (float), code, colour (qint32)
  // 12 polygon: point count (qint32), xs, ys (QList<float>, element 0 unused), border,
  //    fill, width (qint32) -- rectangles come as 4-point polygons
  // 14 text: angle in degrees, x, y (float), text (QString)
  // The image layer has no record and is left out. The picture on the screen is not
  // touched. Errors are passed over.
  QList<QVariant> GraphicsStream(qint32& numgraphics);
  // Plays a stream back onto `devhDC` (used only during the call, its state restored):
  // twips map to device units as devScale x the device's resolution / 1440, plus the
  // offsets; with devLandscape the drawing turns a quarter on a page of devYsize by devXsize
  // twips. Does nothing without a painter or with numgraphics <= 0. Errors are passed over;
  // a record of an unknown code ends the walk. Texts take the control's current text font.
  void DrawGraphicsStream(QPainter* devhDC, qint32 numgraphics, const QList<QVariant>& GraphicsStream,
                          bool devLandscape, float devXsize, float devYsize, float devScale, float devXoff,
                          float devYoff);

  // --- Persistence -------------------------------------------------------------------
  // Loads or saves the 42 persisted properties through the host's store. A stored value
  // that cannot be taken leaves its property at the key's default; every other key still
  // loads, and the first such error is raised at the end.
  void ReadProperties(const PropertyStore& PropBag);
  void WriteProperties(PropertyStore& PropBag) const;

  // --- Helpers for hosts -------------------------------------------------------------
  // The RGB colour a colour value stands for; system colours resolve through the
  // widget's palette; -1 (no colour) gives a transparent colour.
  QColor TranslateColor(qint32 colour) const;
  // The host's ambient font: the parent's font, or the application font without a parent.
  QFont AmbientFont() const;
  // How the control talks to the person and reaches the printer. The operator is not
  // owned and must outlive its use; null puts back the built-in one (Qt's dialogs).
  void setOperator(ControlOperator* op);
  // The persistent picture of Picture_graph.
  const QImage& Picture() const;
  // Twips per pixel of the screen the control is on.
  double TwipsPerPixelX() const;
  double TwipsPerPixelY() const;

signals:
  // A persisted property was assigned; the host marks its design as changed.
  void PropertyChanged(const QString& PropertyName);
  // Events raised to the host. Arguments are references so a handler can change them.
  void Click();
  void DblClick();
  void KeyDown(qint16& KeyCode, qint16& Shift);
  void KeyUp(qint16& KeyCode, qint16& Shift);
  void KeyPress(qint16& KeyAscii);
  void MouseDown(qint16& Button, qint16& Shift, float& x, float& y);
  void MouseUp(qint16& Button, qint16& Shift, float& x, float& y);
  void MouseMove(qint16& Button, qint16& Shift, float& x, float& y, qint32& inview, float& xp, float& yp);
  void PointSelected(qint32& Group, qint32& Series, qint32& DataPoint);
  void ZoomChanged();
  // An error of the control where no host call is on the stack (a resize, a menu entry,
  // a scroll bar): the control stays usable and tells the host this way.
  void Error(qint32 Number, const QString& Description);

protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  // Mouse and key events of the control area; those of the plot surface come through
  // eventFilter. Both report positions in twips on the plot surface.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

private:
  void markChanged(const char* name);
  void layoutChildren();
  void applySurfaceColours();
  void applyBorderStyle(qint16 style);
  void applyBackStyle(qint16 style);
  void clearPicture();
  // The plot on the picture, as Refresh draws it.
  void plotPicture();
  // What every plot's layout is made from: the plot surface and the control's font.
  PlotSurface plotSurface() const;
  // Refresh for the control's own handlers: errors go to the Error signal.
  void refreshReporting();
  // Runs `paint` with the primitives on the persistent picture (only into the stream
  // while one is being captured) and shows the picture afterwards.
  void onPicture(const std::function<void(Primitives&)>& paint);
  // The zoom strip and the pointer. Each handler keeps its errors inside: zoom steps end
  // silently, the others report through Error.
  void zoomBar(bool yAxis, QScrollBar* bar, int value);
  void panBar(bool yAxis, QScrollBar* bar, int value);
  void drawZoomIndicator();
  // Positions in twips on the plot surface from a point of `from`.
  QPointF surfacePoint(const QWidget* from, QPointF position) const;
  // Returns whether the event was one of the mouse or key events the control raises.
  bool handleInput(const QWidget* from, QEvent* event);
  void press(QMouseEvent* event, QPointF at);
  void release(QMouseEvent* event, QPointF at);
  void move(QMouseEvent* event, QPointF at);
  void wheel(QWheelEvent* event, QPointF at);
  void pick(qint16 button, qint16 shift, QPointF at);
  void drawBand();
  void registerPointValues(const DataTable& table, qint32 nGroup, qint32 nSeries, qint32 nPoint, bool colours);
  float snapCutoff(float v, float base, float lnBase) const;
  void prompt(const QString& text);
  ControlOperator& person() const;
  // The pop-up menu's Print and SVG entries.
  void printGraph();
  void exportSvg();

  std::unique_ptr<ControlState> s_;
  // Own properties of the control surface.
  qint32 surfaceBackColor_ = SystemButtonFace;
  qint32 surfaceForeColor_ = SystemButtonText;
  qint16 surfaceBackStyle_ = 1;
  qint16 surfaceBorderStyle_ = 1;

  PictureBox* Picture_graph_ = nullptr;
  QScrollBar* HScroll_zoom_ = nullptr;
  QScrollBar* HScroll_pan_ = nullptr;
  QScrollBar* VScroll_zoom_ = nullptr;
  QScrollBar* VScroll_pan_ = nullptr;
  QPushButton* Command_reset_ = nullptr;
  PictureBox* Picture_x_location_ = nullptr;
  PictureBox* Picture_y_location_ = nullptr;
  QMenu* mnuPopUp_ = nullptr;
  QAction* mnuCopy_ = nullptr;
  QAction* mnuPrint_ = nullptr;
  QAction* mnuEMF_ = nullptr;
  QAction* mnuZoom_ = nullptr;
  ControlOperator* operator_ = nullptr;
  // The rubber band of a Shift + left drag, twips on the plot surface, while it is shown.
  bool bandActive_ = false;
  bool bandShown_ = false;
  QPointF bandStart_;
  QPointF bandEnd_;
  int wheelRest_ = 0;  // wheel turn not yet used, in eighths of a degree

  friend struct ControlAccess;
};

}  // namespace vellum32
