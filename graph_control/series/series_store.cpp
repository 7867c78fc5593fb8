#include "series/series_store.h"

#include <algorithm>

#include "vellum32/errors.h"

namespace vellum32 {

void SeriesStore::checkGroup(qint32 group) const {
  if (group < 1 || group > groupCount_) throw Vellum32Error(SubscriptOutOfRange);
}

void SeriesStore::checkPoint(qint32 series, qint32 point) const {
  if (!containsPoint(series, point)) throw Vellum32Error(SubscriptOutOfRange);
}

qint32 SeriesStore::FirstSeries(qint32 group) const {
  checkGroup(group);
  return groups_[std::size_t(group - 1)].FirstSeries;
}

qint32 SeriesStore::LastSeries(qint32 group) const {
  checkGroup(group);
  return groups_[std::size_t(group - 1)].LastSeries;
}

qint32 SeriesStore::PointCount(qint32 group) const {
  checkGroup(group);
  return groups_[std::size_t(group - 1)].PointCount;
}

double SeriesStore::XValue(qint32 group, qint32 point) const {
  checkGroup(group);
  if (point < 1 || point > maxPoints_) throw Vellum32Error(SubscriptOutOfRange);
  return xValues_[std::size_t(group - 1) * std::size_t(maxPoints_) + std::size_t(point - 1)];
}

double SeriesStore::YValue(qint32 series, qint32 point) const {
  if (series < 1 || series > seriesCount_ || point < 0 || point > maxPoints_) throw Vellum32Error(SubscriptOutOfRange);
  return yValues_[std::size_t(series - 1) * std::size_t(maxPoints_ + 1) + std::size_t(point)];
}

qint32 SeriesStore::SeriesStyleCode(qint32 series) const {
  const double code = YValue(series, 0);
  // Style codes are small whole numbers; anything else behaves as 0.
  return (code >= -2147483648.0 && code <= 2147483647.0) ? qint32(code) : 0;
}

qint32 SeriesStore::PointMarker(qint32 series, qint32 point) const {
  checkPoint(series, point);
  return markers_.empty() ? 0 : markers_[pointIndex(series, point)];
}

qint32 SeriesStore::PointColour(qint32 series, qint32 point) const {
  checkPoint(series, point);
  if (!colours_.empty()) return colours_[pointIndex(series, point)];
  return point <= filled_[std::size_t(series - 1)] ? -1 : 0;
}

void SeriesStore::setPointMarker(qint32 series, qint32 point, qint32 code) {
  checkPoint(series, point);
  if (markers_.empty()) {
    if (code == 0) return;
    materialiseMarkers();
  }
  markers_[pointIndex(series, point)] = code;
  qint32& uniform = uniformMarkers_[std::size_t(series - 1)];
  if (uniform != code) uniform = MixedMarkers;
}

void SeriesStore::setPointColour(qint32 series, qint32 point, qint32 colour) {
  checkPoint(series, point);
  if (colours_.empty()) materialiseColours();
  colours_[pointIndex(series, point)] = colour;
}

void SeriesStore::setSeriesMarker(qint32 series, qint32 code) {
  if (maxPoints_ < 1) return;
  checkPoint(series, 1);
  if (markers_.empty()) materialiseMarkers();
  const auto first = markers_.begin() + std::ptrdiff_t(pointIndex(series, 1));
  std::fill(first, first + maxPoints_, code);
  uniformMarkers_[std::size_t(series - 1)] = code;
}

void SeriesStore::setPointColours(qint32 series, qint32 first, std::span<const qint32> colours) {
  if (colours.empty()) return;
  checkPoint(series, first);
  checkPoint(series, qint32(qint64(first) + qint64(colours.size()) - 1));
  if (colours_.empty()) materialiseColours();
  std::copy(colours.begin(), colours.end(), colours_.begin() + std::ptrdiff_t(pointIndex(series, first)));
}

void SeriesStore::materialiseMarkers() { markers_.assign(std::size_t(seriesCount_) * std::size_t(maxPoints_), 0); }

void SeriesStore::materialiseColours() {
  colours_.assign(std::size_t(seriesCount_) * std::size_t(maxPoints_), 0);
  for (qint32 s = 1; s <= seriesCount_; ++s) {
    const qint32 filled = filled_[std::size_t(s - 1)];
    for (qint32 p = 1; p <= filled; ++p) colours_[pointIndex(s, p)] = -1;
  }
}

void SeriesStore::reset(std::vector<Group> groups, qint32 seriesCount, qint32 maxPoints) {
  // Release the old arrays before sizing the new ones so the two never coexist.
  xValues_ = {};
  yValues_ = {};
  markers_ = {};
  colours_ = {};
  filled_ = {};
  xMonotone_ = {};
  uniformMarkers_ = {};
  groups_ = std::move(groups);
  groupCount_ = qint32(groups_.size());
  seriesCount_ = seriesCount;
  maxPoints_ = maxPoints;
  xValues_.assign(std::size_t(groupCount_) * std::size_t(maxPoints_), 0.0);
  yValues_.assign(std::size_t(seriesCount_) * std::size_t(maxPoints_ + 1), 0.0);
  filled_.assign(std::size_t(seriesCount_), 0);
  xMonotone_.assign(std::size_t(groupCount_), 0);
  uniformMarkers_.assign(std::size_t(seriesCount_), 0);
}

void SeriesStore::NoteXOrder() {
  for (qint32 g = 1; g <= groupCount_; ++g) {
    const double* x = xRow(g);
    const qint32 n = groups_[std::size_t(g - 1)].PointCount;
    // Comparisons with NaN are false, so a NaN anywhere breaks both orders.
    bool rising = true, falling = true;
    for (qint32 p = 1; p < n; ++p) {
      rising &= x[p] >= x[p - 1];
      falling &= x[p] <= x[p - 1];
    }
    if (n == 1) rising = x[0] == x[0];
    xMonotone_[std::size_t(g - 1)] = rising || falling;
  }
}

std::size_t SeriesStore::allocatedBytes() const noexcept {
  return groups_.capacity() * sizeof(Group) + xValues_.capacity() * sizeof(double) +
         yValues_.capacity() * sizeof(double) + filled_.capacity() * sizeof(qint32) +
         markers_.capacity() * sizeof(qint32) + colours_.capacity() * sizeof(qint32);
}

}  // namespace vellum32
