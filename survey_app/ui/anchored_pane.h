#pragma once
// A pane whose controls sit at their design geometry when the pane has its design size
// and follow its edges when it grows: each edge of a control moves by a fraction of the
// growth (0 stays put, 1 follows the pane's right or bottom edge fully).
#include <QHash>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace corvane::ui {

struct Anchors {
  double left = 0, top = 0, right = 0, bottom = 0;
};

// Twips of the design to pixels of the layout (15 twips to the pixel).
constexpr int px(int twips) { return (twips + 7) / 15; }

class AnchoredPane : public QWidget {
public:
  AnchoredPane(QSize design, QWidget* parent);
  // Puts a control at its design rectangle (pixels) with its anchors.
  void place(QWidget* w, QRect design, Anchors anchors);
  QRect designRect(QWidget* w) const { return items_.value(w).design; }
  QSize designSize() const { return design_; }

protected:
  void resizeEvent(QResizeEvent* e) override;

private:
  struct Item {
    QRect design;
    Anchors anchors;
  };
  void apply(QWidget* w, const Item& item);
  QSize design_;
  QHash<QWidget*, Item> items_;
};

}  // namespace corvane::ui
