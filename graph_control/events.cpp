// The control's mouse, wheel and key events, the zoom strip and the pop-up menu.
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "interact/input_codes.h"
#include "interact/zoom.h"
#include "overlay/primitives.h"
#include "picture_box.h"
#include "render/series.h"
#include "state/control_state.h"
#include "state/scoped_value.h"
#include "vellum32/vellum32.h"

namespace vellum32 {

bool Vellum32::WheelZoom() const { return s_->WheelZoom; }

void Vellum32::setWheelZoom(bool New_WheelZoom) {
  s_->WheelZoom = New_WheelZoom;
  markChanged("WheelZoom");
}

void Vellum32::ResetZoom() {
  ResetLimits(*s_);
  Refresh();
  emit ZoomChanged();
}

void Vellum32::zoomBar(bool yAxis, QScrollBar* bar, int value) {
  if (s_->ScrollGuard) return;
  s_->ScrollGuard = true;
  try {
    const bool zoomed = ZoomStep(*s_, yAxis, value);
    // The bar goes back to rest also when the bound held the step, so that its arrow
    // works again.
    bar->setValue(0);
    if (zoomed) {
      Refresh();
      s_->ScrollGuard = false;
      emit ZoomChanged();
    }
  } catch (...) {
    bar->setValue(0);
  }
  s_->ScrollGuard = false;
}

void Vellum32::panBar(bool yAxis, QScrollBar* bar, int value) {
  if (s_->ScrollGuard) return;
  s_->ScrollGuard = true;
  PanStep(*s_, yAxis, value);
  bar->setValue(0);
  s_->ScrollGuard = false;
  try {
    Refresh();
    emit ZoomChanged();
  } catch (const Vellum32Error& e) {
    emit Error(e.Number(), e.Description());
  }
}

void Vellum32::drawZoomIndicator() {
  if (!s_->DoZoom) return;
  Picture_x_location_->fitImage();
  Picture_y_location_->fitImage();
  DrawZoomIndicatorX(*s_, Picture_x_location_->image(), TwipsPerPixelX(), TwipsPerPixelY());
  DrawZoomIndicatorY(*s_, Picture_y_location_->image(), TwipsPerPixelX(), TwipsPerPixelY());
  Picture_x_location_->update();
  Picture_y_location_->update();
}

QPointF Vellum32::surfacePoint(const QWidget* from, QPointF position) const {
  if (from != Picture_graph_) position -= QPointF(Picture_graph_->pos());
  return QPointF(position.x() * TwipsPerPixelX(), position.y() * TwipsPerPixelY());
}

bool Vellum32::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Picture_graph_ && handleInput(Picture_graph_, event)) return true;
  return QFrame::eventFilter(watched, event);
}

void Vellum32::mousePressEvent(QMouseEvent* event) { handleInput(this, event); }
void Vellum32::mouseReleaseEvent(QMouseEvent* event) { handleInput(this, event); }
void Vellum32::mouseDoubleClickEvent(QMouseEvent* event) { handleInput(this, event); }
void Vellum32::mouseMoveEvent(QMouseEvent* event) { handleInput(this, event); }
void Vellum32::wheelEvent(QWheelEvent* event) { handleInput(this, event); }
void Vellum32::keyPressEvent(QKeyEvent* event) { handleInput(this, event); }
void Vellum32::keyReleaseEvent(QKeyEvent* event) { handleInput(this, event); }

bool Vellum32::handleInput(const QWidget* from, QEvent* event) {
  // Nothing the host's handlers or the drawing throw may leave an event handler.
  try {
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        press(e, surfacePoint(from, e->position()));
        return true;
      }
      case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        release(e, surfacePoint(from, e->position()));
        return true;
      }
      case QEvent::MouseButtonDblClick: emit DblClick(); return true;
      case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        move(e, surfacePoint(from, e->position()));
        return true;
      }
      case QEvent::Wheel: {
        if (!s_->WheelZoom) return false;  // the wheel then scrolls what holds the control
        auto* e = static_cast<QWheelEvent*>(event);
        wheel(e, surfacePoint(from, e->position()));
        return true;
      }
      case QEvent::KeyPress: {
        auto* e = static_cast<QKeyEvent*>(event);
        qint16 code = KeyCode(e->key());
        qint16 shift = ShiftCode(e->modifiers());
        emit KeyDown(code, shift);
        const QString text = e->text();
        if (text.size() == 1 && text[0].unicode() < 256) {
          qint16 ascii = qint16(text[0].unicode());
          emit KeyPress(ascii);
        }
        return true;
      }
      case QEvent::KeyRelease: {
        auto* e = static_cast<QKeyEvent*>(event);
        qint16 code = KeyCode(e->key());
        qint16 shift = ShiftCode(e->modifiers());
        emit KeyUp(code, shift);
        return true;
      }
      default: return false;
    }
  } catch (const Vellum32Error& e) {
    emit Error(e.Number(), e.Description());
  } catch (const std::exception& e) {
    emit Error(InvalidProcedureCall, QString::fromLocal8Bit(e.what()));
  }
  return true;
}

void Vellum32::press(QMouseEvent* event, QPointF at) {
  if (event->button() == Qt::RightButton) {
    mnuPopUp_->popup(event->globalPosition().toPoint());
    return;
  }
  if (event->button() != Qt::LeftButton && event->button() != Qt::MiddleButton) return;
  if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier)) {
    bandActive_ = true;
    bandStart_ = bandEnd_ = at;
  }
  pick(ButtonCode(event->button()), ShiftCode(event->modifiers()), at);
}

void Vellum32::pick(qint16 button, qint16 shift, QPointF at) {
  ControlState& s = *s_;
  if (s.PickGuard) return;
  const ScopedValue<bool> guard(s.PickGuard, true);
  float x = float(at.x());
  float y = float(at.y());
  std::optional<PickedPoint> picked;
  try {
    picked = NearestPoint(s, x, y);
  } catch (const Vellum32Error&) {
    // A store the search cannot read picks nothing.
  }
  if (!picked) {
    emit MouseDown(button, shift, x, y);
    return;
  }
  const QPoint mark(int(std::lround(picked->X)), int(std::lround(picked->Y)));
  const Selection selected{mark,
                           {picked->Group, picked->Series - s.Store.FirstSeries(picked->Group) + 1, picked->Point}};
  onPicture([&](Primitives& draw) { MoveSelection(s, draw, selected); });
  qint32 group = s.SelectedPoint[0];
  qint32 series = s.SelectedPoint[1];
  qint32 point = s.SelectedPoint[2];
  emit PointSelected(group, series, point);
}

void Vellum32::move(QMouseEvent* event, QPointF at) {
  if (bandActive_ && (event->buttons() & Qt::LeftButton)) {
    if (bandShown_) drawBand();  // drawn again, the band where it was vanishes
    bandEnd_ = at;
    drawBand();
  }
  qint16 button = ButtonCode(event->buttons());
  qint16 shift = ShiftCode(event->modifiers());
  float x = float(at.x());
  float y = float(at.y());
  PointerPosition pointer;
  try {
    pointer = PointerAt(*s_, x, y);
  } catch (const Vellum32Error&) {
    // A position beyond the range of a single is reported as 0.
  }
  emit MouseMove(button, shift, x, y, pointer.inview, pointer.xp, pointer.yp);
}

void Vellum32::release(QMouseEvent* event, QPointF at) {
  qint16 button = ButtonCode(event->button());
  qint16 shift = ShiftCode(event->modifiers());
  float x = float(at.x());
  float y = float(at.y());
  emit MouseUp(button, shift, x, y);
  if (event->button() == Qt::LeftButton) emit Click();
  if (!bandActive_ || event->button() != Qt::LeftButton) return;
  bandActive_ = false;
  if (bandShown_) drawBand();
  if (!ZoomToBand(*s_, QRectF(bandStart_, at).normalized(), TwipsPerPixelX(), TwipsPerPixelY())) return;
  Refresh();
  emit ZoomChanged();
}

void Vellum32::wheel(QWheelEvent* event, QPointF at) {
  const int steps = WheelSteps(wheelRest_, event->angleDelta().y());
  const float x = float(at.x());
  const float y = float(at.y());
  const QPointF units = AxisUnitsAt(*s_, x, y);
  bool changed = false;
  for (int k = 0; k < std::abs(steps); ++k) changed |= ZoomAbout(*s_, x, y, steps > 0 ? 3.0 / 4 : 4.0 / 3);
  if (!changed) return;
  Refresh();
  // The new tick labels may have moved the plot's edges: put the same values back under
  // the pointer.
  KeepUnderPoint(*s_, x, y, units);
  Refresh();
  emit ZoomChanged();
}

void Vellum32::drawBand() {
  onPicture([&](Primitives& draw) {
    // Not-xor over the whole picture: drawn twice, the band leaves the picture as it was.
    DrawContext band = draw.Context();
    band.NotXor = true;
    band.Clip = TwipsRect{0, float(Picture_graph_->width() * TwipsPerPixelX()), 0,
                          float(Picture_graph_->height() * TwipsPerPixelY())};
    Primitives(band, draw.Device())
        .Rectangle(float(bandStart_.x()), float(bandStart_.y()), float(bandEnd_.x()), float(bandEnd_.y()), 0, NoColour);
  });
  bandShown_ = !bandShown_;
}

}  // namespace vellum32
