// Assignment of the control's plot properties.
#include <cmath>

#include "state/control_state.h"
#include "state/variant_convert.h"
#include "vellum32/vellum32.h"

namespace vellum32 {

// Properties whose assignment stores the value in `Field` of the state and marks it
// changed; nothing is redrawn until the host calls Refresh.
#define VELLUM32_STORED_PROPERTY_IN(Type, Name, Field) \
  void Vellum32::set##Name(Type New_##Name) {          \
    s_->Field = std::move(New_##Name);                 \
    markChanged(#Name);                                \
  }
#define VELLUM32_STORED_PROPERTY(Type, Name) VELLUM32_STORED_PROPERTY_IN(Type, Name, Name)

VELLUM32_STORED_PROPERTY(QString, Title)
VELLUM32_STORED_PROPERTY(std::optional<QFont>, TitleFont)
VELLUM32_STORED_PROPERTY_IN(QString, XAxisLabel, X.Label)
VELLUM32_STORED_PROPERTY_IN(QString, YAxisLabel, Y.Label)
VELLUM32_STORED_PROPERTY(ChartTypes, ChartType)
VELLUM32_STORED_PROPERTY_IN(AxisTypes, XAxisType, X.Type)
VELLUM32_STORED_PROPERTY_IN(AxisTypes, YAxisType, Y.Type)
VELLUM32_STORED_PROPERTY(bool, PlotPoints)
VELLUM32_STORED_PROPERTY(bool, DisplayLegend)
VELLUM32_STORED_PROPERTY(bool, DisplayAxes)
VELLUM32_STORED_PROPERTY(bool, SetMargins)
VELLUM32_STORED_PROPERTY_IN(float, xTickInterval, X.TickInterval)
VELLUM32_STORED_PROPERTY_IN(float, yTickInterval, Y.TickInterval)
VELLUM32_STORED_PROPERTY(float, XAxisLeftMargin)
VELLUM32_STORED_PROPERTY(float, XAxisRightMargin)
VELLUM32_STORED_PROPERTY(float, YAxisTopMargin)
VELLUM32_STORED_PROPERTY(float, YAxisBottomMargin)
VELLUM32_STORED_PROPERTY(float, DataNull)
VELLUM32_STORED_PROPERTY(qint32, MarkerSize)
VELLUM32_STORED_PROPERTY(qint32, ZoomXSplit)
VELLUM32_STORED_PROPERTY(qint32, ZoomXSplitLeft)
VELLUM32_STORED_PROPERTY(qint32, ZoomXSplitRight)
VELLUM32_STORED_PROPERTY(ZoomXTypes, ZoomXType)
VELLUM32_STORED_PROPERTY(qint32, ZoomYSplit)
VELLUM32_STORED_PROPERTY(qint32, ZoomYSplitTop)
VELLUM32_STORED_PROPERTY(qint32, ZoomYSplitBottom)
VELLUM32_STORED_PROPERTY(ZoomYTypes, ZoomYType)

#undef VELLUM32_STORED_PROPERTY
#undef VELLUM32_STORED_PROPERTY_IN

// An axis limit sets the shown limit and the home (unzoomed) limit together.
void Vellum32::setXAxisMin(float New_XAxisMin) {
  s_->X.Min = s_->X.HomeMin = New_XAxisMin;
  markChanged("XAxisMin");
}

void Vellum32::setXAxisMax(float New_XAxisMax) {
  s_->X.Max = s_->X.HomeMax = New_XAxisMax;
  markChanged("XAxisMax");
}

void Vellum32::setYAxisMin(float New_YAxisMin) {
  s_->Y.Min = s_->Y.HomeMin = New_YAxisMin;
  markChanged("YAxisMin");
}

void Vellum32::setYAxisMax(float New_YAxisMax) {
  s_->Y.Max = s_->Y.HomeMax = New_YAxisMax;
  markChanged("YAxisMax");
}

// A base that is not positive is ignored without a word.
void Vellum32::setXBaseLog(float New_XBaseLog) {
  if (!(New_XBaseLog > 0)) return;
  s_->X.BaseLog = New_XBaseLog;
  s_->X.LnBase = float(std::log(double(New_XBaseLog)));
  markChanged("XBaseLog");
}

void Vellum32::setYBaseLog(float New_YBaseLog) {
  if (!(New_YBaseLog > 0)) return;
  s_->Y.BaseLog = New_YBaseLog;
  s_->Y.LnBase = float(std::log(double(New_YBaseLog)));
  markChanged("YBaseLog");
}

// The cutoff becomes the power of the base nearest to v that is not above v (compared
// in single precision, as the cutoff is stored); with base 10 it never goes below 1e-6.
float Vellum32::snapCutoff(float v, float base, float lnBase) const {
  if (!(v > 0)) return 1.0f;
  const double lnV = std::log(std::fabs(double(v)));
  const double k = std::nearbyint(convert::divide(lnV, double(lnBase)));  // base 1 fails
  if (base == 10.0f && k < -5) return 0.000001f;
  const float power = float(std::pow(double(base), k));
  if (v < power) return float(std::pow(double(base), k - 1));
  return power;
}

void Vellum32::setXAxisCutoff(float New_XAxisCutoff) {
  s_->X.Cutoff = snapCutoff(New_XAxisCutoff, s_->X.BaseLog, s_->X.LnBase);
  markChanged("XAxisCutoff");
}

void Vellum32::setYAxisCutoff(float New_YAxisCutoff) {
  s_->Y.Cutoff = snapCutoff(New_YAxisCutoff, s_->Y.BaseLog, s_->Y.LnBase);
  markChanged("YAxisCutoff");
}

void Vellum32::setDoZoom(bool New_DoZoom) {
  if (New_DoZoom == s_->DoZoom) return;
  s_->DoZoom = New_DoZoom;
  layoutChildren();
  Refresh();
  markChanged("DoZoom");
}

// Zoom percentages. A new centre moves the shown range by the matching share of the
// home range; a new range scales the shown range about its middle.
namespace {

bool moveCentre(float& centre, float c, float homeMin, float homeMax, float& min, float& max) {
  if (std::fabs(c - centre) <= 0.001f) return false;
  const float shift = (homeMax - homeMin) * (c - centre) / 100.0f;
  centre = c;
  max += shift;
  min += shift;
  return true;
}

bool scaleRange(float& range, float r, float& min, float& max) {
  if (!(std::fabs(r - range) > 0.001f && range > 0 && r > 0.001f)) return false;
  const float mid = (max + min) / 2.0f;
  const float span = r * (max - min) / range;
  range = r;
  max = mid + span / 2.0f;
  min = mid - span / 2.0f;
  return true;
}

}  // namespace

void Vellum32::setXaxisZoomCentre(float New_XaxisZoomCentre) {
  if (moveCentre(s_->XaxisZoomCentre, New_XaxisZoomCentre, s_->X.HomeMin, s_->X.HomeMax, s_->X.Min, s_->X.Max))
    Refresh();
}

void Vellum32::setYAxisZoomCentre(float New_YAxisZoomCentre) {
  if (moveCentre(s_->YAxisZoomCentre, New_YAxisZoomCentre, s_->Y.HomeMin, s_->Y.HomeMax, s_->Y.Min, s_->Y.Max))
    Refresh();
}

void Vellum32::setXaxisZoomRange(float New_XaxisZoomRange) {
  if (scaleRange(s_->XaxisZoomRange, New_XaxisZoomRange, s_->X.Min, s_->X.Max)) Refresh();
}

void Vellum32::setYAxisZoomRange(float New_YAxisZoomRange) {
  if (scaleRange(s_->YAxisZoomRange, New_YAxisZoomRange, s_->Y.Min, s_->Y.Max)) Refresh();
}

// Getters of the plot properties: the stored fields.
QString Vellum32::Title() const { return s_->Title; }
std::optional<QFont> Vellum32::TitleFont() const { return s_->TitleFont; }
bool Vellum32::PlotPoints() const { return s_->PlotPoints; }
bool Vellum32::DisplayLegend() const { return s_->DisplayLegend; }
bool Vellum32::DisplayAxes() const { return s_->DisplayAxes; }
bool Vellum32::SetMargins() const { return s_->SetMargins; }
bool Vellum32::DoZoom() const { return s_->DoZoom; }
qint32 Vellum32::ZoomXSplit() const { return s_->ZoomXSplit; }
qint32 Vellum32::ZoomXSplitLeft() const { return s_->ZoomXSplitLeft; }
qint32 Vellum32::ZoomXSplitRight() const { return s_->ZoomXSplitRight; }
ZoomXTypes Vellum32::ZoomXType() const { return s_->ZoomXType; }
qint32 Vellum32::ZoomYSplit() const { return s_->ZoomYSplit; }
qint32 Vellum32::ZoomYSplitTop() const { return s_->ZoomYSplitTop; }
qint32 Vellum32::ZoomYSplitBottom() const { return s_->ZoomYSplitBottom; }
ZoomYTypes Vellum32::ZoomYType() const { return s_->ZoomYType; }
float Vellum32::XaxisZoomCentre() const { return s_->XaxisZoomCentre; }
float Vellum32::XaxisZoomRange() const { return s_->XaxisZoomRange; }
float Vellum32::YAxisZoomCentre() const { return s_->YAxisZoomCentre; }
float Vellum32::YAxisZoomRange() const { return s_->YAxisZoomRange; }
float Vellum32::YAxisMin() const { return s_->Y.Min; }
float Vellum32::YAxisMax() const { return s_->Y.Max; }
float Vellum32::XAxisMin() const { return s_->X.Min; }
float Vellum32::XAxisMax() const { return s_->X.Max; }
float Vellum32::yTickInterval() const { return s_->Y.TickInterval; }
float Vellum32::xTickInterval() const { return s_->X.TickInterval; }
float Vellum32::YAxisCutoff() const { return s_->Y.Cutoff; }
float Vellum32::XAxisCutoff() const { return s_->X.Cutoff; }
AxisTypes Vellum32::YAxisType() const { return s_->Y.Type; }
AxisTypes Vellum32::XAxisType() const { return s_->X.Type; }
QString Vellum32::YAxisLabel() const { return s_->Y.Label; }
QString Vellum32::XAxisLabel() const { return s_->X.Label; }
float Vellum32::YAxisTopMargin() const { return s_->YAxisTopMargin; }
float Vellum32::YAxisBottomMargin() const { return s_->YAxisBottomMargin; }
float Vellum32::XAxisLeftMargin() const { return s_->XAxisLeftMargin; }
float Vellum32::XAxisRightMargin() const { return s_->XAxisRightMargin; }
float Vellum32::DataNull() const { return s_->DataNull; }
qint32 Vellum32::MarkerSize() const { return s_->MarkerSize; }
float Vellum32::XBaseLog() const { return s_->X.BaseLog; }
float Vellum32::YBaseLog() const { return s_->Y.BaseLog; }
ChartTypes Vellum32::ChartType() const { return s_->ChartType; }

}  // namespace vellum32
