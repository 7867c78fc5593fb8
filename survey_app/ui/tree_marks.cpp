#include "ui/tree_marks.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

#include "model/survey_model.h"

namespace corvane::ui {

namespace {

QColor model_colour(std::int32_t colour) { return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

// Relative luminance as the WCAG contrast rule defines it.
double luminance(const QColor& c) {
  const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double contrast_on_white(const QColor& c) { return 1.05 / (luminance(c) + 0.05); }

}  // namespace

QVariant node_text_brush(std::int32_t colour) {
  if (colour < 0) return QVariant();
  QColor c = model_colour(colour);
  for (int step = 0; step < 20 && contrast_on_white(c) < 4.5; ++step)
    c = QColor::fromRgbF(c.redF() * 0.9f, c.greenF() * 0.9f, c.blueF() * 0.9f);
  return QBrush(c);
}

QIcon cover_mark(std::int32_t colour) {
  if (colour != colour_green && colour != colour_blue && colour != colour_red) return {};
  const QColor c = model_colour(colour);
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(c.darker(140), 1.5));
  const QRectF disc(2.5, 2.5, 11, 11);
  if (colour == colour_green) {
    p.setBrush(c);
    p.drawEllipse(disc);
  } else if (colour == colour_blue) {
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(disc);
    QPainterPath half;
    half.moveTo(disc.center());
    half.arcTo(disc, 90, 180);
    half.closeSubpath();
    p.fillPath(half, c);
  } else {
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(disc);
    p.drawLine(QPointF(4.5, 11.5), QPointF(11.5, 4.5));
  }
  p.end();
  QIcon icon(pixmap);
  icon.addPixmap(pixmap, QIcon::Selected);  // untinted on a selected row
  return icon;
}

void keep_colours_on_selection(QAbstractItemView* view) {
  QPalette palette = view->palette();
  const QColor h = palette.color(QPalette::Highlight);
  palette.setColor(QPalette::Highlight,
                   QColor::fromRgbF(0.75f + 0.25f * h.redF(), 0.75f + 0.25f * h.greenF(), 0.75f + 0.25f * h.blueF()));
  palette.setColor(QPalette::HighlightedText, palette.color(QPalette::Text));
  view->setPalette(palette);
  view->setItemDelegate(new ColourKeepingDelegate(view));
}

void ColourKeepingDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  if (!(option->state & QStyle::State_Selected)) return;
  const QVariant foreground = index.data(Qt::ForegroundRole);
  if (!foreground.canConvert<QBrush>()) return;
  option->palette.setColor(QPalette::HighlightedText, foreground.value<QBrush>().color());
}

}  // namespace corvane::ui
