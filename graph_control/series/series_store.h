#pragma once

#include <QtGlobal>
#include <array>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace vellum32 {

// The registered data: groups (one X row each) and series (one Y row each), with the
// per-point marker codes and marker colours. Indices are 1-based as in the rest of the
// control: group 1..GroupCount(), series 1..SeriesCount(), point 1..MaxPoints();
// YValue(s, 0) holds the series' style code. Checked accessors throw Vellum32Error 9
// for an index outside the store.
class SeriesStore {
public:
  qint32 GroupCount() const noexcept { return groupCount_; }
  qint32 SeriesCount() const noexcept { return seriesCount_; }
  qint32 MaxPoints() const noexcept { return maxPoints_; }

  qint32 FirstSeries(qint32 group) const;
  qint32 LastSeries(qint32 group) const;
  qint32 PointCount(qint32 group) const;

  double XValue(qint32 group, qint32 point) const;   // axis units
  double YValue(qint32 series, qint32 point) const;  // axis units; point 0 = style code
  qint32 SeriesStyleCode(qint32 series) const;
  qint32 PointMarker(qint32 series, qint32 point) const;  // 0 = none
  qint32 PointColour(qint32 series, qint32 point) const;  // -1 = the series colour

  void setPointMarker(qint32 series, qint32 point, qint32 code);
  void setPointColour(qint32 series, qint32 point, qint32 colour);
  // Every point of `series` takes marker `code`.
  void setSeriesMarker(qint32 series, qint32 code);
  // Points first .. first + colours.size() - 1 of `series` take `colours` in turn.
  void setPointColours(qint32 series, qint32 first, std::span<const qint32> colours);

  // Unchecked reads of a series' marker codes and colours, point 1 at [0]: null while
  // none was written (codes then read 0, colours -1 up to FilledPoints and 0 after).
  const qint32* markerRow(qint32 series) const noexcept {
    return markers_.empty() ? nullptr : &markers_[pointIndex(series, 1)];
  }
  const qint32* colourRow(qint32 series) const noexcept {
    return colours_.empty() ? nullptr : &colours_[pointIndex(series, 1)];
  }
  qint32 filledPoints(qint32 series) const noexcept { return filled_[std::size_t(series - 1)]; }
  // The marker code every point of `series` carries, when one is known to: after no
  // marker was written, or after setSeriesMarker and only writes of the same code.
  std::optional<qint32> uniformMarker(qint32 series) const noexcept {
    const qint32 code = uniformMarkers_[std::size_t(series - 1)];
    return code == MixedMarkers ? std::nullopt : std::optional(code);
  }

  // Whether the X values of `group` never decrease or never increase (none NaN), as the
  // last NoteXOrder found them.
  bool XIsMonotone(qint32 group) const noexcept { return xMonotone_[std::size_t(group - 1)] != 0; }
  // Finds the order of every group's X values; called once the X rows are written.
  void NoteXOrder();

  // Whether (series, point) lies inside the store.
  bool containsPoint(qint32 series, qint32 point) const noexcept {
    return series >= 1 && series <= seriesCount_ && point >= 1 && point <= maxPoints_;
  }

  // Empties the store: the counts become 0; the memory is kept for the next registration.
  void clearCounts() noexcept { groupCount_ = seriesCount_ = maxPoints_ = 0; }

  // Bytes held by the store's arrays (for memory measurements).
  std::size_t allocatedBytes() const noexcept;

  // Building a store (used by the registration code).
  struct Group {
    qint32 FirstSeries = 0;
    qint32 LastSeries = 0;
    qint32 PointCount = 0;
  };
  // Sizes every array anew for the given layout; all values cleared.
  void reset(std::vector<Group> groups, qint32 seriesCount, qint32 maxPoints);
  double* xRow(qint32 group) noexcept { return &xValues_[std::size_t(group - 1) * std::size_t(maxPoints_)]; }
  double* yRow(qint32 series) noexcept { return &yValues_[std::size_t(series - 1) * std::size_t(maxPoints_ + 1)]; }
  // Unchecked reads for the drawing loops: X values of a group from point 1 at [0]; Y
  // values of a series with the style code at [0] and point p at [p].
  const double* xRow(qint32 group) const noexcept {
    return &xValues_[std::size_t(group - 1) * std::size_t(maxPoints_)];
  }
  const double* yRow(qint32 series) const noexcept {
    return &yValues_[std::size_t(series - 1) * std::size_t(maxPoints_ + 1)];
  }
  // Number of leading points of a series that its Y row filled (the marker colour of
  // those starts as -1, the rest as 0).
  void setFilledPoints(qint32 series, qint32 count) noexcept { filled_[std::size_t(series - 1)] = count; }

private:
  void checkGroup(qint32 group) const;
  void checkPoint(qint32 series, qint32 point) const;
  std::size_t pointIndex(qint32 series, qint32 point) const noexcept {
    return std::size_t(series - 1) * std::size_t(maxPoints_) + std::size_t(point - 1);
  }
  void materialiseMarkers();
  void materialiseColours();

  qint32 groupCount_ = 0;
  qint32 seriesCount_ = 0;
  qint32 maxPoints_ = 0;
  std::vector<Group> groups_;
  std::vector<double> xValues_;  // group-major, MaxPoints per group
  std::vector<double> yValues_;  // series-major, MaxPoints + 1 per series
  std::vector<qint32> filled_;   // per series
  std::vector<char> xMonotone_;  // per group
  static constexpr qint32 MixedMarkers = std::numeric_limits<qint32>::min();
  std::vector<qint32> uniformMarkers_;  // per series: the one code, or MixedMarkers
  // Marker codes and colours are allocated on their first write; until then every
  // marker reads 0 and every colour -1 (0 past the filled part of a series).
  std::vector<qint32> markers_;
  std::vector<qint32> colours_;
};

}  // namespace vellum32
