#pragma once
// A pane whose controls sit at their design geometry when the pane has its design size
// and follow its edges when it grows: each edge of a control moves by a fraction of the
// growth (0 stays put, 1 follows the pane's right or bottom edge fully). A pane allowed to
// be smaller than its design moves the edges by the same fractions of the shortfall, or,
// for the first pixels of it, by the fractions a control gives for shrinking.
#include <QHash>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <optional>

namespace corvane::ui {

struct Anchors {
  double left = 0, top = 0, right = 0, bottom = 0;
};

// Twips of the design to pixels of the layout (15 twips to the pixel).
constexpr int px(int twips) { return (twips + 7) / 15; }

class AnchoredPane : public QWidget {
public:
  AnchoredPane(QSize design, QWidget* parent);
  // Puts a control at its design rectangle (pixels) with its anchors; `shrinking`, when
  // given, moves its edges instead for the first firstShortfall() pixels the pane is
  // narrower or lower than its design.
  void place(QWidget* w, QRect design, Anchors anchors, std::optional<Anchors> shrinking = std::nullopt);
  QRect designRect(QWidget* w) const { return items_.value(w).design; }
  QSize designSize() const { return design_; }
  void setFirstShortfall(int pixels) { firstShortfall_ = pixels; }
  int firstShortfall() const { return firstShortfall_; }

protected:
  void resizeEvent(QResizeEvent* e) override;

private:
  struct Item {
    QRect design;
    Anchors anchors;
    Anchors shrinking;
  };
  void apply(QWidget* w, const Item& item);
  QSize design_;
  int firstShortfall_ = 0;
  QHash<QWidget*, Item> items_;
};

}  // namespace corvane::ui
