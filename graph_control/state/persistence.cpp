// Loading and saving the control's persisted properties through the host's store.
#include <cmath>

#include "state/control_state.h"
#include "state/variant_convert.h"
#include "vellum32/vellum32.h"

namespace vellum32 {

namespace {

QVariant i32(qint32 v) { return QVariant::fromValue(v); }
QVariant i16(qint16 v) { return QVariant::fromValue(v); }
QVariant f32(float v) { return QVariant::fromValue(v); }

float checkedBase(float base) { return base > 0 ? base : 10.0f; }

}  // namespace

void Vellum32::ReadProperties(const PropertyStore& PropBag) {
  using namespace convert;
  const auto read = [&PropBag](const char* key, const QVariant& defaultValue) {
    return PropBag.ReadProperty(QString::fromLatin1(key), defaultValue);
  };
  ControlState& s = *s_;

  // The control surface's own properties, without marking anything changed.
  surfaceBackColor_ = toLong(read("BackColor", i32(SystemButtonFace)));
  surfaceForeColor_ = toLong(read("ForeColor", i32(SystemButtonText)));
  applySurfaceColours();
  QWidget::setEnabled(toBoolean(read("Enabled", true)));
  setFont(toFont(read("Font", AmbientFont())));
  applyBackStyle(toInteger(read("BackStyle", i16(1))));
  applyBorderStyle(toInteger(read("BorderStyle", i16(1))));

  // The plot's fields, read straight in: the checks of the property assignments do not run.
  s.ChartType = ChartTypes(toLong(read("ChartType", i32(0))));
  s.DisplayLegend = toBoolean(read("DisplayLegend", false));
  s.DisplayAxes = toBoolean(read("DisplayAxes", true));
  s.PlotPoints = toBoolean(read("PlotPoints", i32(0)));
  s.Title = toText(read("Title", QString()));
  s.TitleFont = toFont(read("TitleFont", AmbientFont()));
  s.YAxisMin = toSingle(read("YAxisMin", f32(AutoLimit)));
  s.YAxisMax = toSingle(read("YAxisMax", f32(AutoLimit)));
  s.yTickInterval = toSingle(read("YTickInterval", f32(1)));
  s.YAxisType = AxisTypes(toLong(read("YAxisType", i32(0))));
  s.YAxisCutoff = toSingle(read("YAxisCutoff", f32(1)));
  s.YAxisLabel = toText(read("YAxisLabel", QString()));
  s.HomeYMin = s.YAxisMin;
  s.HomeYMax = s.YAxisMax;
  s.XAxisMin = toSingle(read("XAxisMin", f32(AutoLimit)));
  s.XAxisMax = toSingle(read("XAxisMax", f32(AutoLimit)));
  s.xTickInterval = toSingle(read("XTickInterval", f32(1)));
  s.XAxisType = AxisTypes(toLong(read("xAxisType", i32(0))));
  s.XAxisCutoff = toSingle(read("xAxisCutoff", f32(1)));
  s.XAxisLabel = toText(read("XAxisLabel", QString()));
  s.HomeXMin = s.XAxisMin;
  s.HomeXMax = s.XAxisMax;
  s.DataNull = toSingle(read("DataNull", f32(-999)));
  s.MarkerSize = toLong(read("MarkerSize", i32(35)));
  s.XBaseLog = checkedBase(toSingle(read("XBaseLog", f32(10))));
  s.LnXBase = float(std::log(double(s.XBaseLog)));
  s.YBaseLog = checkedBase(toSingle(read("YBaseLog", f32(10))));
  s.LnYBase = float(std::log(double(s.YBaseLog)));
  s.SetMargins = toBoolean(read("SetMargins", false));
  s.YAxisTopMargin = toSingle(read("YAxisTopMargin", f32(0)));
  s.YAxisBottomMargin = toSingle(read("YAxisBottomMargin", f32(0)));
  s.XAxisLeftMargin = toSingle(read("XAxisLeftMargin", f32(0)));
  s.XAxisRightMargin = toSingle(read("XAxisRightMargin", f32(0)));
  s.DoZoom = toBoolean(read("DoZoom", false));
  mnuZoom_->setChecked(s.DoZoom);
  s.ZoomXSplit = toLong(read("ZoomXSplit", i32(-1)));
  s.ZoomXSplitLeft = toLong(read("ZoomXSplitLeft", i32(255)));
  s.ZoomXSplitRight = toLong(read("ZoomXSplitRight", i32(65280)));
  s.ZoomYSplit = toLong(read("ZoomYSplit", i32(-1)));
  s.ZoomYSplitTop = toLong(read("ZoomYSplitTop", i32(255)));
  s.ZoomYSplitBottom = toLong(read("ZoomYSplitBottom", i32(65280)));
  s.ZoomXType = ZoomXTypes(toLong(read("ZoomXType", i32(1))));
  s.ZoomYType = ZoomYTypes(toLong(read("ZoomYType", i32(1))));
  // Added after the first 42 keys: a store written before it lacks the key and keeps
  // the default.
  s.WheelZoom = toBoolean(read("WheelZoom", true));
}

void Vellum32::WriteProperties(PropertyStore& PropBag) const {
  const auto write = [&PropBag](const char* key, const QVariant& value, const QVariant& defaultValue = QVariant()) {
    PropBag.WriteProperty(QString::fromLatin1(key), value, defaultValue);
  };
  const ControlState& s = *s_;
  const QFont ambient = AmbientFont();

  write("BackColor", i32(surfaceBackColor_), i32(SystemButtonFace));
  write("ForeColor", i32(surfaceForeColor_), i32(SystemButtonText));
  write("Enabled", Enabled(), true);
  write("Font", Font(), ambient);
  write("BackStyle", i16(surfaceBackStyle_), i16(1));
  write("BorderStyle", i16(surfaceBorderStyle_), i16(1));
  write("ChartType", i32(qint32(s.ChartType)), i32(0));
  write("DisplayLegend", s.DisplayLegend, false);
  write("DisplayAxes", s.DisplayAxes, true);
  write("PlotPoints", s.PlotPoints, false);
  write("Title", s.Title, QString(QLatin1String("")));
  // No title font writes nothing, so loading gives the ambient font.
  write("TitleFont", s.TitleFont ? QVariant::fromValue(*s.TitleFont) : QVariant(), ambient);
  write("YAxisMin", f32(s.YAxisMin));
  write("YAxisMax", f32(s.YAxisMax));
  write("YTickInterval", f32(s.yTickInterval), f32(1));
  write("YAxisType", i32(qint32(s.YAxisType)), i32(0));
  write("YAxisCutoff", f32(s.YAxisCutoff), f32(1));
  write("YAxisLabel", s.YAxisLabel, QString(QLatin1String("")));
  write("XAxisMin", f32(s.XAxisMin));
  write("XAxisMax", f32(s.XAxisMax));
  write("XTickInterval", f32(s.xTickInterval), f32(1));
  write("XAxisType", i32(qint32(s.XAxisType)), i32(0));
  write("XAxisCutoff", f32(s.XAxisCutoff), f32(1));
  write("XAxisLabel", s.XAxisLabel, QString(QLatin1String("")));
  write("DataNull", f32(s.DataNull));
  write("MarkerSize", i32(s.MarkerSize));
  write("XBaseLog", f32(s.XBaseLog));
  write("YBaseLog", f32(s.YBaseLog));
  write("SetMargins", s.SetMargins);
  write("YAxisTopMargin", f32(s.YAxisTopMargin));
  write("YAxisBottomMargin", f32(s.YAxisBottomMargin));
  write("XAxisLeftMargin", f32(s.XAxisLeftMargin));
  write("XAxisRightMargin", f32(s.XAxisRightMargin));
  write("DoZoom", s.DoZoom);
  write("ZoomXSplit", i32(s.ZoomXSplit));
  write("ZoomXSplitLeft", i32(s.ZoomXSplitLeft));
  write("ZoomXSplitRight", i32(s.ZoomXSplitRight));
  write("ZoomYSplit", i32(s.ZoomYSplit));
  write("ZoomYSplitTop", i32(s.ZoomYSplitTop));
  write("ZoomYSplitBottom", i32(s.ZoomYSplitBottom));
  write("ZoomXType", i32(qint32(s.ZoomXType)));
  write("ZoomYType", i32(qint32(s.ZoomYType)));
  write("WheelZoom", s.WheelZoom, true);
}

}  // namespace vellum32
