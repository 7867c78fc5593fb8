// Loading and saving the control's persisted properties through the host's store.
#include <cmath>
#include <optional>
#include <type_traits>
#include <vector>

#include "control_access.h"
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

// One persisted key: the key loading reads and the one saving writes (they differ in two
// letter cases only), the default a missing key loads and the default a saved value is
// left out for (invalid: always written; the ambient font where `ambientDefault`), and
// how its value reaches and leaves the control. `load` throws for a value it cannot
// take, before changing anything.
struct PersistedKey {
  const char* readKey;
  const char* writtenKey;
  QVariant readDefault;
  QVariant writeDefault;
  bool ambientDefault = false;
  void (*load)(Vellum32& control, const QVariant& value);
  QVariant (*save)(const Vellum32& control);
};

namespace {

// A key stored straight in a field of the plot state (reached through the member
// pointers of `Path`), with the field's type: enumerations and whole numbers as 32-bit
// integers, floats as singles.
template <auto... Path>
PersistedKey field(const char* readKey, const char* writtenKey, QVariant readDefault,
                   QVariant writeDefault = QVariant()) {
  using T = std::remove_reference_t<decltype((std::declval<ControlState&>().*....*Path))>;
  PersistedKey key{readKey, writtenKey, std::move(readDefault), std::move(writeDefault), false, nullptr, nullptr};
  key.load = [](Vellum32& control, const QVariant& value) {
    T& target = (ControlAccess::State(control).*....*Path);
    if constexpr (std::is_enum_v<T>)
      target = T(convert::toLong(value));
    else if constexpr (std::is_same_v<T, bool>)
      target = convert::toBoolean(value);
    else if constexpr (std::is_same_v<T, float>)
      target = convert::toSingle(value);
    else if constexpr (std::is_same_v<T, QString>)
      target = convert::toText(value);
    else
      target = T(convert::toLong(value));
  };
  key.save = [](const Vellum32& control) -> QVariant {
    const T& value = (ControlAccess::State(control).*....*Path);
    if constexpr (std::is_enum_v<T>)
      return i32(qint32(value));
    else if constexpr (std::is_same_v<T, bool>)
      return value;
    else if constexpr (std::is_same_v<T, float>)
      return f32(value);
    else if constexpr (std::is_same_v<T, QString>)
      return value;
    else
      return i32(qint32(value));
  };
  return key;
}

}  // namespace

// Every persisted key, in the order loading reads and saving writes them.
const std::vector<PersistedKey>& ControlAccess::PersistedKeys() {
  using S = ControlState;
  static const std::vector<PersistedKey> keys = [] {
    std::vector<PersistedKey> k;
    // The control surface's own properties, without marking anything changed.
    k.push_back({"BackColor", "BackColor", i32(SystemButtonFace), i32(SystemButtonFace), false,
                 [](Vellum32& c, const QVariant& v) { c.surfaceBackColor_ = convert::toLong(v); },
                 [](const Vellum32& c) { return i32(c.surfaceBackColor_); }});
    k.push_back({"ForeColor", "ForeColor", i32(SystemButtonText), i32(SystemButtonText), false,
                 [](Vellum32& c, const QVariant& v) {
                   c.surfaceForeColor_ = convert::toLong(v);
                   c.applySurfaceColours();
                 },
                 [](const Vellum32& c) { return i32(c.surfaceForeColor_); }});
    k.push_back({"Enabled", "Enabled", true, true, false,
                 [](Vellum32& c, const QVariant& v) { c.QWidget::setEnabled(convert::toBoolean(v)); },
                 [](const Vellum32& c) { return QVariant(c.Enabled()); }});
    k.push_back({"Font", "Font", QVariant(), QVariant(), true,
                 [](Vellum32& c, const QVariant& v) { c.setFont(convert::toFont(v)); },
                 [](const Vellum32& c) { return QVariant::fromValue(c.Font()); }});
    k.push_back({"BackStyle", "BackStyle", i16(1), i16(1), false,
                 [](Vellum32& c, const QVariant& v) { c.applyBackStyle(convert::toInteger(v)); },
                 [](const Vellum32& c) { return i16(c.surfaceBackStyle_); }});
    k.push_back({"BorderStyle", "BorderStyle", i16(1), i16(1), false,
                 [](Vellum32& c, const QVariant& v) { c.applyBorderStyle(convert::toInteger(v)); },
                 [](const Vellum32& c) { return i16(c.surfaceBorderStyle_); }});
    // The plot's fields, read straight in: the checks of the property assignments do not run.
    k.push_back(field<&S::ChartType>("ChartType", "ChartType", i32(0), i32(0)));
    k.push_back(field<&S::DisplayLegend>("DisplayLegend", "DisplayLegend", false, false));
    k.push_back(field<&S::DisplayAxes>("DisplayAxes", "DisplayAxes", true, true));
    k.push_back(field<&S::PlotPoints>("PlotPoints", "PlotPoints", i32(0), false));
    k.push_back(field<&S::Title>("Title", "Title", QString(), QString(QLatin1String(""))));
    // No title font writes nothing, so loading gives the ambient font.
    k.push_back({"TitleFont", "TitleFont", QVariant(), QVariant(), true,
                 [](Vellum32& c, const QVariant& v) { ControlAccess::State(c).TitleFont = convert::toFont(v); },
                 [](const Vellum32& c) {
                   const std::optional<QFont>& font = ControlAccess::State(c).TitleFont;
                   return font ? QVariant::fromValue(*font) : QVariant();
                 }});
    k.push_back(field<&S::Y, &AxisState::Min>("YAxisMin", "YAxisMin", f32(AutoLimit)));
    k.push_back(field<&S::Y, &AxisState::Max>("YAxisMax", "YAxisMax", f32(AutoLimit)));
    k.push_back(field<&S::Y, &AxisState::TickInterval>("YTickInterval", "YTickInterval", f32(1), f32(1)));
    k.push_back(field<&S::Y, &AxisState::Type>("YAxisType", "YAxisType", i32(0), i32(0)));
    k.push_back(field<&S::Y, &AxisState::Cutoff>("YAxisCutoff", "YAxisCutoff", f32(1), f32(1)));
    k.push_back(field<&S::Y, &AxisState::Label>("YAxisLabel", "YAxisLabel", QString(), QString(QLatin1String(""))));
    k.push_back(field<&S::X, &AxisState::Min>("XAxisMin", "XAxisMin", f32(AutoLimit)));
    k.push_back(field<&S::X, &AxisState::Max>("XAxisMax", "XAxisMax", f32(AutoLimit)));
    k.push_back(field<&S::X, &AxisState::TickInterval>("XTickInterval", "XTickInterval", f32(1), f32(1)));
    k.push_back(field<&S::X, &AxisState::Type>("xAxisType", "XAxisType", i32(0), i32(0)));
    k.push_back(field<&S::X, &AxisState::Cutoff>("xAxisCutoff", "XAxisCutoff", f32(1), f32(1)));
    k.push_back(field<&S::X, &AxisState::Label>("XAxisLabel", "XAxisLabel", QString(), QString(QLatin1String(""))));
    k.push_back(field<&S::DataNull>("DataNull", "DataNull", f32(-999)));
    k.push_back(field<&S::MarkerSize>("MarkerSize", "MarkerSize", i32(35)));
    k.push_back(field<&S::X, &AxisState::BaseLog>("XBaseLog", "XBaseLog", f32(10)));
    k.push_back(field<&S::Y, &AxisState::BaseLog>("YBaseLog", "YBaseLog", f32(10)));
    k.push_back(field<&S::SetMargins>("SetMargins", "SetMargins", false));
    k.push_back(field<&S::YAxisTopMargin>("YAxisTopMargin", "YAxisTopMargin", f32(0)));
    k.push_back(field<&S::YAxisBottomMargin>("YAxisBottomMargin", "YAxisBottomMargin", f32(0)));
    k.push_back(field<&S::XAxisLeftMargin>("XAxisLeftMargin", "XAxisLeftMargin", f32(0)));
    k.push_back(field<&S::XAxisRightMargin>("XAxisRightMargin", "XAxisRightMargin", f32(0)));
    k.push_back(field<&S::DoZoom>("DoZoom", "DoZoom", false));
    k.push_back(field<&S::ZoomXSplit>("ZoomXSplit", "ZoomXSplit", i32(-1)));
    k.push_back(field<&S::ZoomXSplitLeft>("ZoomXSplitLeft", "ZoomXSplitLeft", i32(255)));
    k.push_back(field<&S::ZoomXSplitRight>("ZoomXSplitRight", "ZoomXSplitRight", i32(65280)));
    k.push_back(field<&S::ZoomYSplit>("ZoomYSplit", "ZoomYSplit", i32(-1)));
    k.push_back(field<&S::ZoomYSplitTop>("ZoomYSplitTop", "ZoomYSplitTop", i32(255)));
    k.push_back(field<&S::ZoomYSplitBottom>("ZoomYSplitBottom", "ZoomYSplitBottom", i32(65280)));
    k.push_back(field<&S::ZoomXType>("ZoomXType", "ZoomXType", i32(1)));
    k.push_back(field<&S::ZoomYType>("ZoomYType", "ZoomYType", i32(1)));
    // Added after the first 42 keys: a store written before it lacks the key and keeps
    // the default.
    k.push_back(field<&S::WheelZoom>("WheelZoom", "WheelZoom", true, true));
    return k;
  }();
  return keys;
}

void Vellum32::ReadProperties(const PropertyStore& PropBag) {
  const QFont ambient = AmbientFont();
  std::optional<Vellum32Error> firstError;
  for (const PersistedKey& key : ControlAccess::PersistedKeys()) {
    const QVariant fallback = key.ambientDefault ? QVariant::fromValue(ambient) : key.readDefault;
    // A stored value that cannot be taken gives the key's default instead, and its error
    // is raised once every key has been read.
    try {
      key.load(*this, PropBag.ReadProperty(QString::fromLatin1(key.readKey), fallback));
    } catch (const Vellum32Error& e) {
      if (!firstError) firstError = e;
      key.load(*this, fallback);
    }
  }
  // What loading derives from the fields it read.
  ControlState& s = *s_;
  s.Y.HomeMin = s.Y.Min;
  s.Y.HomeMax = s.Y.Max;
  s.X.HomeMin = s.X.Min;
  s.X.HomeMax = s.X.Max;
  s.X.BaseLog = checkedBase(s.X.BaseLog);
  s.X.LnBase = float(std::log(double(s.X.BaseLog)));
  s.Y.BaseLog = checkedBase(s.Y.BaseLog);
  s.Y.LnBase = float(std::log(double(s.Y.BaseLog)));
  mnuZoom_->setChecked(s.DoZoom);
  if (firstError) throw *firstError;
}

void Vellum32::WriteProperties(PropertyStore& PropBag) const {
  const QFont ambient = AmbientFont();
  for (const PersistedKey& key : ControlAccess::PersistedKeys())
    PropBag.WriteProperty(QString::fromLatin1(key.writtenKey), key.save(*this),
                          key.ambientDefault ? QVariant::fromValue(ambient) : key.writeDefault);
}

}  // namespace vellum32
