#pragma once

#include <QObject>
#include <QtGlobal>

#include "vellum32/export.h"

namespace vellum32 {
Q_NAMESPACE_EXPORT(VELLUM32_EXPORT)

// Enumerations of the control's interface; their values are fixed.
enum class ChartTypes : qint32 { Point = 0, Line = 1 };
Q_ENUM_NS(ChartTypes)

enum class AxisTypes : qint32 { linear = 0, LogLinear = 1 };
Q_ENUM_NS(AxisTypes)

enum class BackStyleTypes : qint32 { Transparent = 0, Opaque = 1 };
Q_ENUM_NS(BackStyleTypes)

enum class BorderStyleTypes : qint32 { None = 0, Solid = 1 };
Q_ENUM_NS(BorderStyleTypes)

enum class ZoomXTypes : qint32 { ZoomXLeft = 0, ZoomXCentre = 1, ZoomXRight = 2 };
Q_ENUM_NS(ZoomXTypes)

enum class ZoomYTypes : qint32 { ZoomYTop = 0, ZoomyCentre = 1, ZoomYBottom = 2 };
Q_ENUM_NS(ZoomYTypes)

// An axis limit holding exactly this value is derived from the data when the plot is drawn.
inline constexpr float AutoLimit = -99999.0f;
// The value stored for a missing Y value.
inline constexpr double NullMark = -1e32;
// Number of entries of the per-series option arrays (0..128); series 1..128 carry options.
inline constexpr int SeriesOptionEntries = 129;
inline constexpr int MaxSeries = SeriesOptionEntries - 1;

// System colours of the host (top bit set) that the control uses as defaults.
inline constexpr qint32 SystemButtonFace = qint32(0x8000000F);
inline constexpr qint32 SystemButtonText = qint32(0x80000012);
// "No colour" for outlines and fills.
inline constexpr qint32 NoColour = -1;

// A colour value with red in the low byte, as the control stores colours.
constexpr qint32 RGBColour(int red, int green, int blue) {
  return qint32((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}

}  // namespace vellum32
