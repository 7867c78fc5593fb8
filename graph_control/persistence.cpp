// Loading and saving the control's persisted properties through the host's store.
#include <cmath>
#include <optional>
#include <type_traits>

#include "state/control_state.h"
#include "state/variant_convert.h"
#include "vellum32/vellum32.h"

namespace vellum32 {

namespace {

QVariant i32(qint32 v) { return QVariant::fromValue(v); }
QVariant i16(qint16 v) { return QVariant::fromValue(v); }
QVariant f32(float v) { return QVariant::fromValue(v); }

float checkedBase(float base) { return base > 0 ? base : 10.0f; }

// Reads keys from a store, each converted to its property's type (or taken by `take`). A
// stored value that cannot be converted or taken gives the key's default instead, and its
// error is kept: the first one is raised once every key has been read.
class KeyReader {
public:
  explicit KeyReader(const PropertyStore& store) : store_(store) {}

  qint32 Long(const char* key, const QVariant& defaultValue) { return read(key, defaultValue, convert::toLong); }
  float Single(const char* key, const QVariant& defaultValue) {
    return read(key, defaultValue, [](const QVariant& v) { return convert::toSingle(v); });
  }
  bool Boolean(const char* key, const QVariant& defaultValue) { return read(key, defaultValue, convert::toBoolean); }
  QString Text(const char* key, const QVariant& defaultValue) { return read(key, defaultValue, convert::toText); }
  QFont Font(const char* key, const QVariant& defaultValue) { return read(key, defaultValue, convert::toFont); }

  template <class Take>
  std::invoke_result_t<Take, const QVariant&> read(const char* key, const QVariant& defaultValue, Take take) {
    try {
      return take(store_.ReadProperty(QString::fromLatin1(key), defaultValue));
    } catch (const Vellum32Error& e) {
      if (!firstError_) firstError_ = e;
      return take(defaultValue);
    }
  }

  void raiseFirstError() const {
    if (firstError_) throw *firstError_;
  }

private:
  const PropertyStore& store_;
  std::optional<Vellum32Error> firstError_;
};

}  // namespace

void Vellum32::ReadProperties(const PropertyStore& PropBag) {
  KeyReader in(PropBag);
  ControlState& s = *s_;

  // The control surface's own properties, without marking anything changed.
  surfaceBackColor_ = in.Long("BackColor", i32(SystemButtonFace));
  surfaceForeColor_ = in.Long("ForeColor", i32(SystemButtonText));
  applySurfaceColours();
  QWidget::setEnabled(in.Boolean("Enabled", true));
  setFont(in.Font("Font", AmbientFont()));
  in.read("BackStyle", i16(1), [this](const QVariant& v) { applyBackStyle(convert::toInteger(v)); });
  in.read("BorderStyle", i16(1), [this](const QVariant& v) { applyBorderStyle(convert::toInteger(v)); });

  // The plot's fields, read straight in: the checks of the property assignments do not run.
  s.ChartType = ChartTypes(in.Long("ChartType", i32(0)));
  s.DisplayLegend = in.Boolean("DisplayLegend", false);
  s.DisplayAxes = in.Boolean("DisplayAxes", true);
  s.PlotPoints = in.Boolean("PlotPoints", i32(0));
  s.Title = in.Text("Title", QString());
  s.TitleFont = in.Font("TitleFont", AmbientFont());
  s.YAxisMin = in.Single("YAxisMin", f32(AutoLimit));
  s.YAxisMax = in.Single("YAxisMax", f32(AutoLimit));
  s.yTickInterval = in.Single("YTickInterval", f32(1));
  s.YAxisType = AxisTypes(in.Long("YAxisType", i32(0)));
  s.YAxisCutoff = in.Single("YAxisCutoff", f32(1));
  s.YAxisLabel = in.Text("YAxisLabel", QString());
  s.HomeYMin = s.YAxisMin;
  s.HomeYMax = s.YAxisMax;
  s.XAxisMin = in.Single("XAxisMin", f32(AutoLimit));
  s.XAxisMax = in.Single("XAxisMax", f32(AutoLimit));
  s.xTickInterval = in.Single("XTickInterval", f32(1));
  s.XAxisType = AxisTypes(in.Long("xAxisType", i32(0)));
  s.XAxisCutoff = in.Single("xAxisCutoff", f32(1));
  s.XAxisLabel = in.Text("XAxisLabel", QString());
  s.HomeXMin = s.XAxisMin;
  s.HomeXMax = s.XAxisMax;
  s.DataNull = in.Single("DataNull", f32(-999));
  s.MarkerSize = in.Long("MarkerSize", i32(35));
  s.XBaseLog = checkedBase(in.Single("XBaseLog", f32(10)));
  s.LnXBase = float(std::log(double(s.XBaseLog)));
  s.YBaseLog = checkedBase(in.Single("YBaseLog", f32(10)));
  s.LnYBase = float(std::log(double(s.YBaseLog)));
  s.SetMargins = in.Boolean("SetMargins", false);
  s.YAxisTopMargin = in.Single("YAxisTopMargin", f32(0));
  s.YAxisBottomMargin = in.Single("YAxisBottomMargin", f32(0));
  s.XAxisLeftMargin = in.Single("XAxisLeftMargin", f32(0));
  s.XAxisRightMargin = in.Single("XAxisRightMargin", f32(0));
  s.DoZoom = in.Boolean("DoZoom", false);
  mnuZoom_->setChecked(s.DoZoom);
  s.ZoomXSplit = in.Long("ZoomXSplit", i32(-1));
  s.ZoomXSplitLeft = in.Long("ZoomXSplitLeft", i32(255));
  s.ZoomXSplitRight = in.Long("ZoomXSplitRight", i32(65280));
  s.ZoomYSplit = in.Long("ZoomYSplit", i32(-1));
  s.ZoomYSplitTop = in.Long("ZoomYSplitTop", i32(255));
  s.ZoomYSplitBottom = in.Long("ZoomYSplitBottom", i32(65280));
  s.ZoomXType = ZoomXTypes(in.Long("ZoomXType", i32(1)));
  s.ZoomYType = ZoomYTypes(in.Long("ZoomYType", i32(1)));
  // Added after the first 42 keys: a store written before it lacks the key and keeps
  // the default.
  s.WheelZoom = in.Boolean("WheelZoom", true);
  in.raiseFirstError();
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
