#pragma once
// A drawing device that keeps every call it receives, in device units, for tests.
#include <QColor>
#include <QPoint>
#include <QPolygon>
#include <QString>
#include <vector>

#include "axes/axis_steps.h"
#include "vellum32/drawing.h"

namespace vellum32::test {

struct DeviceCall {
  enum Kind { Line, Outline, Fill, Text } kind;
  QPolygon points;  // the two ends of a line, the polygon, or the text origin
  QColor colour;
  int width = 0;
  bool notXor = false;
  QString text;
  DeviceFont font;
};

class RecordingDevice : public DrawingDevice {
public:
  explicit RecordingDevice(double dpiY = 96) : dpiY_(dpiY) {}
  double DotsPerInchY() const override { return dpiY_; }
  void SetNotXor(bool on) override { notXor_ = on; }
  void Line(QPoint from, QPoint to, const QColor& colour, int width) override {
    calls.push_back({DeviceCall::Line, QPolygon({from, to}), colour, width, notXor_, {}, {}});
  }
  void PolygonOutline(const QPolygon& points, const QColor& colour, int width) override {
    calls.push_back({DeviceCall::Outline, points, colour, width, notXor_, {}, {}});
  }
  void PolygonFill(const QPolygon& points, const QColor& colour) override {
    calls.push_back({DeviceCall::Fill, points, colour, 0, notXor_, {}, {}});
  }
  void Text(QPoint origin, const QString& text, const DeviceFont& font) override {
    calls.push_back({DeviceCall::Text, QPolygon({origin}), QColor(Qt::black), 0, notXor_, text, font});
  }

  std::vector<DeviceCall> calls;

private:
  double dpiY_;
  bool notXor_ = false;
};

// Text sizes of a fixed-pitch font: every character 100 twips wide, every line 200 high.
class FixedMeasure : public TextMeasure {
public:
  double TextWidth(const QString& text) const override { return 100.0 * text.size(); }
  double TextHeight(const QString&) const override { return 200.0; }
};

}  // namespace vellum32::test
