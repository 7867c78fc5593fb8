#include "vellum32/vellum32.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <cmath>

#include "overlay/overlay.h"
#include "picture_box.h"
#include "render/plot.h"
#include "state/child_layout.h"
#include "state/control_state.h"
#include "state/variant_convert.h"

namespace vellum32 {

namespace {

// Size of the reset button in the corner of the zoom strip, in twips.
constexpr double ResetButtonTwips = 300;

QScrollBar* makeBar(Qt::Orientation orientation, const char* name, QWidget* parent) {
  auto* bar = new QScrollBar(orientation, parent);
  bar->setObjectName(QString::fromLatin1(name));
  // The bars are three-position switches: -1, 0 (rest), 1.
  bar->setRange(-1, 1);
  bar->setValue(0);
  bar->hide();
  return bar;
}

}  // namespace

Vellum32::Vellum32(QWidget* parent) : QFrame(parent), s_(std::make_unique<ControlState>()) {
  // The drawing surface and the children of the zoom strip.
  Picture_graph_ = new PictureBox(this);
  Picture_graph_->setObjectName(QStringLiteral("Picture_graph"));
  HScroll_zoom_ = makeBar(Qt::Horizontal, "HScroll_zoom", this);
  HScroll_pan_ = makeBar(Qt::Horizontal, "HScroll_pan", this);
  VScroll_zoom_ = makeBar(Qt::Vertical, "VScroll_zoom", this);
  VScroll_pan_ = makeBar(Qt::Vertical, "VScroll_pan", this);
  Command_reset_ = new QPushButton(QStringLiteral("."), this);
  Command_reset_->setObjectName(QStringLiteral("Command_reset"));
  Command_reset_->setFont(QFont(QStringLiteral("Small Fonts"), 6));
  Command_reset_->resize(int(std::lround(ResetButtonTwips / TwipsPerPixelX())),
                         int(std::lround(ResetButtonTwips / TwipsPerPixelY())));
  Command_reset_->hide();
  Picture_x_location_ = new PictureBox(this);
  Picture_x_location_->setObjectName(QStringLiteral("Picture_x_location"));
  Picture_x_location_->hide();
  Picture_y_location_ = new PictureBox(this);
  Picture_y_location_->setObjectName(QStringLiteral("Picture_y_location"));
  Picture_y_location_->hide();

  mnuPopUp_ = new QMenu(this);
  mnuPopUp_->setObjectName(QStringLiteral("mnuPopUp"));
  mnuCopy_ = mnuPopUp_->addAction(QStringLiteral("&Copy"));
  mnuCopy_->setObjectName(QStringLiteral("mnuCopy"));
  mnuPrint_ = mnuPopUp_->addAction(QStringLiteral("&Print"));
  mnuPrint_->setObjectName(QStringLiteral("mnuPrint"));
  mnuEMF_ = mnuPopUp_->addAction(QStringLiteral("&SVG"));
  mnuEMF_->setObjectName(QStringLiteral("mnuEMF"));
  mnuZoom_ = mnuPopUp_->addAction(QStringLiteral("&Zoom"));
  mnuZoom_->setObjectName(QStringLiteral("mnuZoom"));
  mnuZoom_->setCheckable(true);
  // The zoom entry turns the zoom strip on when it carries no check mark, off when it does.
  connect(mnuZoom_, &QAction::triggered, this, [this](bool nowChecked) {
    s_->DoZoom = nowChecked;
    layoutChildren();
    refreshReporting();
    markChanged("DoZoom");
  });

  // Copy puts the picture on the clipboard as an image.
  connect(mnuCopy_, &QAction::triggered, this, [this] { QGuiApplication::clipboard()->setImage(Picture()); });
  connect(mnuPrint_, &QAction::triggered, this, &Vellum32::printGraph);
  connect(mnuEMF_, &QAction::triggered, this, &Vellum32::exportSvg);

  // The zoom strip: each bar is a three-position switch that springs back to 0.
  connect(HScroll_zoom_, &QScrollBar::valueChanged, this, [this](int v) { zoomBar(false, HScroll_zoom_, v); });
  connect(VScroll_zoom_, &QScrollBar::valueChanged, this, [this](int v) { zoomBar(true, VScroll_zoom_, v); });
  connect(HScroll_pan_, &QScrollBar::valueChanged, this, [this](int v) { panBar(false, HScroll_pan_, v); });
  connect(VScroll_pan_, &QScrollBar::valueChanged, this, [this](int v) { panBar(true, VScroll_pan_, v); });
  connect(Command_reset_, &QPushButton::clicked, this, [this] {
    try {
      ResetZoom();
    } catch (const Vellum32Error& e) {
      emit Error(e.Number(), e.Description());
    }
  });

  // Pointer and keys: MouseMove fires without a button held.
  Picture_graph_->installEventFilter(this);
  Picture_graph_->setMouseTracking(true);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);

  // The control surface's own properties.
  applyBorderStyle(surfaceBorderStyle_);
  applyBackStyle(surfaceBackStyle_);
  applySurfaceColours();

  resize(int(std::lround(6000 / TwipsPerPixelX())), int(std::lround(4000 / TwipsPerPixelY())));
  layoutChildren();
  Picture_graph_->clearToBack();

  // The screen's pixels until the first plot lays the picture out.
  s_->Layout.TwipsPerPixelX = float(TwipsPerPixelX());
  s_->Layout.TwipsPerPixelY = float(TwipsPerPixelY());
  ClearOverlay(*s_);
}

Vellum32::~Vellum32() = default;

// ---------------------------------------------------------------------------------------
// Control surface

double Vellum32::TwipsPerPixelX() const { return 1440.0 / double(logicalDpiX()); }
double Vellum32::TwipsPerPixelY() const { return 1440.0 / double(logicalDpiY()); }

QColor Vellum32::TranslateColor(qint32 colour) const {
  if (colour == NoColour) return QColor(Qt::transparent);
  if (colour >= 0) return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
  const QPalette& p = palette();
  switch (quint32(colour)) {
    case 0x80000005u: return p.color(QPalette::Active, QPalette::Base);       // window background
    case 0x80000008u: return p.color(QPalette::Active, QPalette::Text);       // window text
    case 0x8000000Du: return p.color(QPalette::Active, QPalette::Highlight);  // selected items
    case 0x8000000Eu: return p.color(QPalette::Active, QPalette::HighlightedText);
    case 0x8000000Fu: return p.color(QPalette::Active, QPalette::Button);      // button face
    case 0x80000010u: return p.color(QPalette::Active, QPalette::Dark);        // button shadow
    case 0x80000011u: return p.color(QPalette::Disabled, QPalette::Text);      // grey text
    case 0x80000012u: return p.color(QPalette::Active, QPalette::ButtonText);  // button text
    case 0x80000014u: return p.color(QPalette::Active, QPalette::Light);       // 3D highlight
    case 0x80000015u: return p.color(QPalette::Active, QPalette::Shadow);      // 3D dark shadow
    default: return QColor(Qt::black);
  }
}

QFont Vellum32::AmbientFont() const { return parentWidget() ? parentWidget()->font() : QApplication::font(); }

void Vellum32::applySurfaceColours() {
  QPalette p = palette();
  const QColor back = TranslateColor(surfaceBackColor_);
  const QColor fore = TranslateColor(surfaceForeColor_);
  p.setColor(QPalette::Window, back);
  p.setColor(QPalette::WindowText, fore);
  setPalette(p);
  Picture_graph_->setBackColour(back);
}

void Vellum32::applyBorderStyle(qint16 style) {
  if (style != 0 && style != 1) throw Vellum32Error(InvalidPropertyValue);
  surfaceBorderStyle_ = style;
  if (style == 1) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
  } else {
    setFrameStyle(QFrame::NoFrame);
  }
  layoutChildren();
}

void Vellum32::applyBackStyle(qint16 style) {
  if (style != 0 && style != 1) throw Vellum32Error(InvalidPropertyValue);
  surfaceBackStyle_ = style;
  setAutoFillBackground(style == 1);
}

qint32 Vellum32::BackColor() const { return surfaceBackColor_; }

void Vellum32::setBackColor(qint32 New_BackColor) {
  surfaceBackColor_ = New_BackColor;
  applySurfaceColours();
  markChanged("BackColor");
}

qint32 Vellum32::ForeColor() const { return surfaceForeColor_; }

void Vellum32::setForeColor(qint32 New_ForeColor) {
  surfaceForeColor_ = New_ForeColor;
  applySurfaceColours();
  markChanged("ForeColor");
}

bool Vellum32::Enabled() const { return !testAttribute(Qt::WA_ForceDisabled); }

void Vellum32::setEnabled(bool New_Enabled) {
  QWidget::setEnabled(New_Enabled);
  markChanged("Enabled");
}

QFont Vellum32::Font() const { return font(); }

void Vellum32::setFont(QFont New_Font) {
  QWidget::setFont(New_Font);
  markChanged("Font");
}

BorderStyleTypes Vellum32::BorderStyle() const { return BorderStyleTypes(surfaceBorderStyle_); }

void Vellum32::setBorderStyle(BorderStyleTypes New_BorderStyle) {
  applyBorderStyle(convert::roundToInteger(double(qint32(New_BorderStyle))));
  markChanged("BorderStyle");
}

BackStyleTypes Vellum32::BackStyle() const { return BackStyleTypes::Transparent; }

void Vellum32::setBackStyle(BackStyleTypes New_BackStyle) { markChanged("BackStyle"); }

void Vellum32::markChanged(const char* name) { emit PropertyChanged(QString::fromLatin1(name)); }

void Vellum32::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  refreshReporting();
}

void Vellum32::changeEvent(QEvent* event) {
  QFrame::changeEvent(event);
  // System colours follow the host's palette.
  if (event->type() == QEvent::ApplicationPaletteChange) applySurfaceColours();
}

// ---------------------------------------------------------------------------------------
// Child layout

void Vellum32::layoutChildren() {
  if (!Picture_graph_) return;
  const QRect inner = contentsRect();
  const double tx = TwipsPerPixelX();
  const double ty = TwipsPerPixelY();
  const ChildLayout layout = ComputeChildLayout(inner.width() * tx, inner.height() * ty, Command_reset_->width() * tx,
                                                Command_reset_->height() * ty, s_->DoZoom);
  const auto place = [&](QWidget* child, const QRectF& twips) {
    child->setGeometry(
        inner.left() + int(std::lround(twips.left() / tx)), inner.top() + int(std::lround(twips.top() / ty)),
        std::max(0, int(std::lround(twips.width() / tx))), std::max(0, int(std::lround(twips.height() / ty))));
  };
  place(Picture_graph_, layout.Picture_graph);
  QWidget* const strip[] = {HScroll_zoom_, HScroll_pan_,        Picture_x_location_, VScroll_zoom_,
                            VScroll_pan_,  Picture_y_location_, Command_reset_};
  if (layout.ZoomVisible) {
    place(HScroll_zoom_, layout.HScroll_zoom);
    place(HScroll_pan_, layout.HScroll_pan);
    place(Picture_x_location_, layout.Picture_x_location);
    place(VScroll_zoom_, layout.VScroll_zoom);
    place(VScroll_pan_, layout.VScroll_pan);
    place(Picture_y_location_, layout.Picture_y_location);
    place(Command_reset_, layout.Command_reset);
    for (QWidget* child : strip) child->setVisible(true);
  } else {
    for (QWidget* child : strip) child->setVisible(false);
  }
  Picture_graph_->fitImage();
  Picture_x_location_->fitImage();
  Picture_y_location_->fitImage();
  mnuZoom_->setChecked(s_->DoZoom);
}

// ---------------------------------------------------------------------------------------
// Drawing

const QImage& Vellum32::Picture() const { return Picture_graph_->image(); }

void Vellum32::clearPicture() { Picture_graph_->clearToBack(); }

void Vellum32::Clear() {
  s_->Store.clearCounts();
  ClearGraphics();
  clearPicture();
}

void Vellum32::SetImageLayer(const QImage& image, double x0, double y0, double x1, double y1, bool smooth) {
  s_->Image = ImageLayer{image, x0, y0, x1, y1, smooth};
}

void Vellum32::ClearImageLayer() { s_->Image.reset(); }

void Vellum32::plotPicture() {
  Picture_graph_->fitImage();
  QPainter painter(&Picture_graph_->image());
  PainterDevice device(painter, logicalDpiX(), logicalDpiY());
  PlotTarget target;
  target.Device = &device;
  target.ClearColour = Picture_graph_->backColour();
  target.ScreenPicture = true;
  // What was drawn up to a failure stays on the picture and is shown.
  const auto show = qScopeGuard([this] { Picture_graph_->update(); });
  s_->Layout = PlotGraph(*s_, WholePlot, target, plotSurface(), ScreenContext(*s_, s_->Layout, font()));
}

PlotSurface Vellum32::plotSurface() const {
  PlotSurface surface;
  surface.PictureWidth = float(Picture_graph_->width() * TwipsPerPixelX());
  surface.PictureHeight = float(Picture_graph_->height() * TwipsPerPixelY());
  surface.ScreenTwipsPerPixelX = float(TwipsPerPixelX());
  surface.ScreenTwipsPerPixelY = float(TwipsPerPixelY());
  surface.Font = font();
  return surface;
}

void Vellum32::Refresh() {
  layoutChildren();
  bandShown_ = false;
  plotPicture();
  drawZoomIndicator();
}

void Vellum32::refreshReporting() {
  try {
    Refresh();
  } catch (const Vellum32Error& e) {
    emit Error(e.Number(), e.Description());
  } catch (const std::exception& e) {
    emit Error(InvalidProcedureCall, QString::fromLocal8Bit(e.what()));
  }
}

void Vellum32::onPicture(const std::function<void(Primitives&)>& paint) {
  Picture_graph_->fitImage();
  QPainter painter(&Picture_graph_->image());
  PainterDevice device(painter, logicalDpiX(), logicalDpiY());
  DrawContext context = ScreenContext(*s_, s_->Layout, font());
  Primitives draw(context, &device);
  const auto show = qScopeGuard([this] { Picture_graph_->update(); });
  paint(draw);
}

// ---------------------------------------------------------------------------------------
// Graphics overlay

void Vellum32::DrawMarker(float x, float y, qint32 marker_ind, qint32 LineColour) {
  onPicture([&](Primitives& draw) { OverlayMarker(*s_, s_->Layout, draw, x, y, marker_ind, LineColour); });
}

void Vellum32::DrawText(float text_angle, float x, float y, const QString& chstr) {
  onPicture([&](Primitives& draw) { OverlayText(*s_, s_->Layout, draw, text_angle, x, y, chstr); });
}

void Vellum32::DrawRectangle(float xdp1, float ydp1, float xdp2, float ydp2, qint32 BorderColour, qint32 FillColour,
                             qint32 LineWidth) {
  onPicture([&](Primitives& draw) {
    OverlayRectangle(*s_, s_->Layout, draw, xdp1, ydp1, xdp2, ydp2, BorderColour, FillColour, LineWidth);
  });
}

void Vellum32::DrawPolygon(qint32 np, const QList<float>& xdpl, const QList<float>& ydpl, qint32 BorderColour,
                           qint32 FillColour, qint32 LineWidth) {
  if (np < 2) return;
  onPicture([&](Primitives& draw) {
    OverlayPolygon(*s_, s_->Layout, draw, np, xdpl, ydpl, BorderColour, FillColour, LineWidth);
  });
}

void Vellum32::DrawLine(float x1, float y1, float x2, float y2, qint32 LineColour, qint32 LineWidth) {
  onPicture([&](Primitives& draw) { OverlayLine(*s_, s_->Layout, draw, x1, y1, x2, y2, LineColour, LineWidth); });
}

void Vellum32::ClearGraphics() { ClearOverlay(*s_); }

void Vellum32::DrawGraphics() {
  if (s_->OverlayCount <= 0) return;
  onPicture([&](Primitives& draw) { ReplayOverlay(*s_, s_->Layout, draw); });
}

// ---------------------------------------------------------------------------------------
// Messages

void Vellum32::setOperator(ControlOperator* op) { operator_ = op; }

ControlOperator& Vellum32::person() const {
  static ControlOperator builtIn;
  return operator_ ? *operator_ : builtIn;
}

void Vellum32::prompt(const QString& text) { person().Message(this, text); }

}  // namespace vellum32
