#include "ui/anchored_pane.h"

#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace corvane::ui {

AnchoredPane::AnchoredPane(QSize design, QWidget* parent) : QWidget(parent), design_(design) { resize(design); }

void AnchoredPane::place(QWidget* w, QRect design, Anchors anchors, std::optional<Anchors> shrinking) {
  Item item{design, anchors, shrinking.value_or(anchors)};
  items_.insert(w, item);
  apply(w, item);
}

void AnchoredPane::apply(QWidget* w, const Item& item) {
  const double first = firstShortfall_;
  // How far an edge moves for a change of the pane's size by `d`, growth fraction `grow`,
  // shrinking fraction `shrink`.
  const auto moved = [first](double d, double grow, double shrink) {
    if (d >= 0) return grow * d;
    return shrink * std::max(d, -first) + grow * std::min(0.0, d + first);
  };
  const double dx = width() - design_.width();
  const double dy = height() - design_.height();
  const QRect& d = item.design;
  const Anchors& a = item.anchors;
  const Anchors& s = item.shrinking;
  const int left = static_cast<int>(std::lround(d.left() + moved(dx, a.left, s.left)));
  const int top = static_cast<int>(std::lround(d.top() + moved(dy, a.top, s.top)));
  const int right = static_cast<int>(std::lround(d.left() + d.width() + moved(dx, a.right, s.right)));
  const int bottom = static_cast<int>(std::lround(d.top() + d.height() + moved(dy, a.bottom, s.bottom)));
  w->setGeometry(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

void AnchoredPane::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  for (auto it = items_.cbegin(); it != items_.cend(); ++it) apply(it.key(), it.value());
}

}  // namespace corvane::ui
