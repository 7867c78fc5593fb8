#pragma once
// The block pane's three graphs as one display of a block: each says what it shows (a
// title naming the block, axis labels) and marks every station; the plot frames share one
// left edge, so that a station lies at the same place on each; and a zoom or pan of one
// field graph shows the same stations on the other two, each with its own Y range over
// the values shown. Reset on one resets all three. A title wider than its graph leaves out
// first the note on the base field, then the file's name, and ends in "…" if it is still
// too wide: the window shows all of it once it is wide enough, and so do the printed page,
// the SVG file and the clipboard, which take the graph as it is drawn.
#include <QObject>

#include <array>
#include <memory>

#include "display/block_display.h"
#include "util/operator.h"

namespace vellum32 {
class Vellum32;
}

namespace corvane::ui {

class BlockGraphs : public QObject {
public:
  // The graphs stay the caller's; errors are reported through `op`, which must outlive
  // this object.
  BlockGraphs(const std::array<vellum32::Vellum32*, 3>& graphs, Operator& op, QObject* parent);
  ~BlockGraphs() override;

  // Hands each graph of the view its table, axes and captions and draws it; the graphs
  // the view does not list stay empty.
  void show(const BlockView& view);
  void clear();

protected:
  // A graph that changes size fits its title again.
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // Sets graph `index`'s title, shortened where it is wider than the graph.
  void fit_title(int index);
  // After graph `index` zoomed, panned or was reset: the others follow it.
  void follow_zoom(int index);
  // Draws the shown graphs with the widest of their own left margins.
  void share_left_edge();
  // The left edge of the plot frame that graph `g` lays out by itself with the limits it
  // shows: found on a copy of its properties holding two points, as the drawing records of
  // all its points would take longer than drawing them.
  float own_left_margin(const vellum32::Vellum32& g);
  const GraphData* shown_data(int index) const;

  std::array<vellum32::Vellum32*, 3> graphs_;
  Operator& op_;
  BlockView view_;  // what the graphs show, for the titles and the Y ranges of a zoom
  bool following_ = false;
  std::unique_ptr<vellum32::Vellum32> ruler_;  // never shown
};

}  // namespace corvane::ui
