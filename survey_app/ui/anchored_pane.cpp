#include "ui/anchored_pane.h"

#include <QResizeEvent>

#include <cmath>

namespace corvane::ui {

AnchoredPane::AnchoredPane(QSize design, QWidget* parent) : QWidget(parent), design_(design) { resize(design); }

void AnchoredPane::place(QWidget* w, QRect design, Anchors anchors) {
  Item item{design, anchors};
  items_.insert(w, item);
  apply(w, item);
}

void AnchoredPane::apply(QWidget* w, const Item& item) {
  const double dx = std::max(0, width() - design_.width());
  const double dy = std::max(0, height() - design_.height());
  const QRect& d = item.design;
  const int left = static_cast<int>(std::lround(d.left() + item.anchors.left * dx));
  const int top = static_cast<int>(std::lround(d.top() + item.anchors.top * dy));
  const int right = static_cast<int>(std::lround(d.left() + d.width() + item.anchors.right * dx));
  const int bottom = static_cast<int>(std::lround(d.top() + d.height() + item.anchors.bottom * dy));
  w->setGeometry(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

void AnchoredPane::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  for (auto it = items_.cbegin(); it != items_.cend(); ++it) apply(it.key(), it.value());
}

}  // namespace corvane::ui
