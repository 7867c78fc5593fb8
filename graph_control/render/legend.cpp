#include "render/legend.h"

#include <algorithm>
#include <vector>

#include "render/series.h"
#include "state/variant_convert.h"
#include "vellum32/errors.h"

namespace vellum32 {
namespace {

// The legend text of a series with the blanks at both ends removed.
QString legendText(const ControlState& s, qint32 series) {
  if (series < 1 || series > MaxSeries) throw Vellum32Error(SubscriptOutOfRange);
  const QString& text = s.Options.SeriesLegend[std::size_t(series)];
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && text[first] == QLatin1Char(' ')) ++first;
  while (last > first && text[last - 1] == QLatin1Char(' ')) --last;
  return text.mid(first, last - first);
}

void drawLegend(const ControlState& s, Primitives& draw, AxisLayout& layout, const TextMeasure& measure,
                bool legendOnly) {
  std::vector<qint32> listed;
  for (qint32 series = 1; series <= s.Store.SeriesCount(); ++series)
    if (!legendText(s, series).isEmpty()) listed.push_back(series);
  if (listed.empty()) return;

  const double width = double(layout.PictureWidth) - layout.ScreenTwipsPerPixelX;
  double x0 = 240;
  if (!legendOnly) {
    x0 = width;
    for (qint32 series : listed) x0 = std::min(x0, width - (1.2 * measure.TextWidth(legendText(s, series)) + 180));
    layout.Plot.RightLimit = convert::roundToLong(x0 - 180);
  }
  const double h = measure.TextHeight(QStringLiteral("X"));
  double y = h + 120;
  // The line sample reaches past the marker once the marker is larger than it.
  const double half = 2.0 * s.MarkerSize > 30 ? 3.0 * s.MarkerSize : 60.0;
  for (qint32 series : listed) {
    y += h + 120;
    const SeriesStyle style = SeriesStyleOf(s, series);
    const qint32 colour = s.Options.SeriesColour[std::size_t(series)];
    const float sampleY = float(y - h / 2);
    if (style.Lines)
      draw.Line(float(x0 - half), sampleY, float(x0 + half), sampleY, colour,
                s.Options.SeriesWeight[std::size_t(series)]);
    const qint32 marker = s.Store.PointMarker(series, 1);
    if (style.Markers && marker != 0) {
      const qint32 markerColour = s.Store.PointColour(series, 1);
      draw.Marker(float(x0), sampleY, marker, markerColour < 0 ? colour : markerColour);
    }
    draw.Text(0, float(x0 + 120), float(y - 30), legendText(s, series));
  }
}

}  // namespace

void DrawLegend(const ControlState& s, Primitives& draw, AxisLayout& layout, const TextMeasure& measure,
                bool legendOnly) {
  try {
    drawLegend(s, draw, layout, measure, legendOnly);
  } catch (const Vellum32Error& e) {
    if (e.Number() == SubscriptOutOfRange) return;
    throw PlottingFailure(e, QStringLiteral("legend"), false);
  }
}

}  // namespace vellum32
