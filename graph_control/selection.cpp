// Selecting a data point from the host.
#include "overlay/primitives.h"
#include "render/series.h"
#include "state/control_state.h"
#include "vellum32/vellum32.h"

namespace vellum32 {

bool Vellum32::SelectPoint(qint32& nGroup, qint32& Series, qint32& DataPoint) const {
  if (!s_->PointIsSelected) return false;
  nGroup = s_->SelectedPoint[0];
  Series = s_->SelectedPoint[1];
  DataPoint = s_->SelectedPoint[2];
  return true;
}

void Vellum32::setSelectPoint(qint32 nGroup, qint32 Series, qint32 DataPoint, bool New_SelectPoint) {
  const SeriesStore& store = s_->Store;
  if (store.SeriesCount() < 1 || store.MaxPoints() < 1 || Series < 1 || Series > store.SeriesCount() || DataPoint < 1 ||
      DataPoint > store.MaxPoints())
    return;
  const qint64 series = qint64(store.FirstSeries(nGroup)) + Series - 1;
  if (series < 1 || series > MaxSeries) throw Vellum32Error(SubscriptOutOfRange);
  if (!s_->Options.SeriesSelectable[std::size_t(series)]) return;
  std::optional<Selection> selected;
  if (New_SelectPoint)
    selected =
        Selection{PointPosition(*s_, s_->Layout, nGroup, qint32(series), DataPoint), {nGroup, Series, DataPoint}};
  onPicture([&](Primitives& draw) { MoveSelection(*s_, draw, selected); });
}

}  // namespace vellum32
