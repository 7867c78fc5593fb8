#pragma once
// How the block tree shows a node's cover colour legibly: the text in a darker shade of the
// colour, a mark whose shape (not only its hue) tells the cover, and a selection that keeps
// the colour in sight.
#include <QAbstractItemView>
#include <QIcon>
#include <QStyledItemDelegate>
#include <QVariant>

#include <cstdint>

namespace corvane::ui {

// A model colour (red in the low byte) as a brush for node text: the same hue, darkened as
// far as needed for a contrast of 4.5:1 on white. No brush for no_colour or a system colour.
QVariant node_text_brush(std::int32_t colour);

// The cover mark of a field block's node: a filled disc (full cover), a half-filled disc
// (partial) or a crossed ring (none), in the model colour. A null icon for other nodes.
QIcon cover_mark(std::int32_t colour);

// A selected row of `view` gets a light highlight and keeps its text colour.
void keep_colours_on_selection(QAbstractItemView* view);

class ColourKeepingDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;

protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace corvane::ui
