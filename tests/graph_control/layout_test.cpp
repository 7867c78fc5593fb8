#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <cmath>

#include "state/child_layout.h"
#include "test_support.h"

namespace vellum32 {
namespace {

TEST(ChildLayoutTest, ZoomStripAroundThePicture) {
  const ChildLayout l = ComputeChildLayout(6000, 4000, 300, 300, true);
  EXPECT_TRUE(l.ZoomVisible);
  EXPECT_EQ(l.Picture_graph, QRectF(0, 0, 5700, 3700));
  EXPECT_EQ(l.HScroll_zoom, QRectF(0, 3700, 1900, 300));
  EXPECT_EQ(l.HScroll_pan, QRectF(1900, 3700, 1900, 300));
  EXPECT_EQ(l.Picture_x_location, QRectF(3790, 3700, 1900, 300));
  EXPECT_DOUBLE_EQ(l.VScroll_zoom.height(), 3700.0 / 3);
  EXPECT_EQ(l.VScroll_zoom.left(), 5700);
  EXPECT_DOUBLE_EQ(l.VScroll_pan.top(), 3700.0 / 3);
  EXPECT_DOUBLE_EQ(l.Picture_y_location.top(), 2 * 3700.0 / 3 - 10);
  EXPECT_EQ(l.Command_reset, QRectF(5700, 3700, 300, 300));
}

TEST(ChildLayoutTest, WithoutZoomThePictureTakesEverything) {
  const ChildLayout l = ComputeChildLayout(6000, 4000, 300, 300, false);
  EXPECT_FALSE(l.ZoomVisible);
  EXPECT_EQ(l.Picture_graph, QRectF(0, 0, 6000, 4000));
  EXPECT_TRUE(l.HScroll_pan.isEmpty());
  EXPECT_TRUE(l.Command_reset.isEmpty());
}

const char* const StripNames[] = {"HScroll_zoom",       "HScroll_pan",        "VScroll_zoom", "VScroll_pan",
                                  "Picture_x_location", "Picture_y_location", "Command_reset"};

TEST(Vellum32LayoutTest, ChildrenCarryTheirNames) {
  Vellum32 c;
  EXPECT_NE(c.findChild<QWidget*>(QStringLiteral("Picture_graph")), nullptr);
  for (const char* name : StripNames) EXPECT_NE(c.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
  auto* menu = c.findChild<QMenu*>(QStringLiteral("mnuPopUp"));
  ASSERT_NE(menu, nullptr);
  const QStringList names = {"mnuCopy", "mnuPrint", "mnuEMF", "mnuZoom"};
  const QStringList texts = {"&Copy", "&Print", "&SVG", "&Zoom"};
  ASSERT_EQ(menu->actions().size(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(menu->actions()[i]->objectName(), names[i]);
    EXPECT_EQ(menu->actions()[i]->text(), texts[i]);
  }
  auto* bar = c.findChild<QScrollBar*>(QStringLiteral("VScroll_pan"));
  EXPECT_EQ(bar->minimum(), -1);
  EXPECT_EQ(bar->maximum(), 1);
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(c.findChild<QPushButton*>(QStringLiteral("Command_reset"))->text(), QStringLiteral("."));
}

TEST(Vellum32LayoutTest, WithoutZoomThePictureFillsTheInnerArea) {
  Vellum32 c;
  c.resize(400, 300);
  c.Refresh();
  auto* graph = c.findChild<QWidget*>(QStringLiteral("Picture_graph"));
  EXPECT_EQ(graph->geometry(), c.contentsRect());
  for (const char* name : StripNames) EXPECT_TRUE(c.findChild<QWidget*>(QString::fromLatin1(name))->isHidden()) << name;
  EXPECT_FALSE(c.findChild<QAction*>(QStringLiteral("mnuZoom"))->isChecked());
}

TEST(Vellum32LayoutTest, WithZoomTheStripSharesTheEdges) {
  Vellum32 c;
  c.setBorderStyle(BorderStyleTypes::None);
  // 6000 x 3900 twips of inner area.
  const double tx = c.TwipsPerPixelX();
  const double ty = c.TwipsPerPixelY();
  c.resize(int(std::lround(6000 / tx)), int(std::lround(3900 / ty)));
  c.setDoZoom(true);
  auto* reset = c.findChild<QWidget*>(QStringLiteral("Command_reset"));
  const double bw = reset->width() * tx;
  const double bh = reset->height() * ty;
  EXPECT_NEAR(bw, 300, tx);
  const double W = c.width() * tx - bw;
  const double H = c.height() * ty - bh;
  const auto px = [&](double twips) { return int(std::lround(twips / tx)); };
  const auto py = [&](double twips) { return int(std::lround(twips / ty)); };

  auto* graph = c.findChild<QWidget*>(QStringLiteral("Picture_graph"));
  EXPECT_EQ(graph->geometry(), QRect(0, 0, px(W), py(H)));
  auto* pan = c.findChild<QWidget*>(QStringLiteral("HScroll_pan"));
  EXPECT_EQ(pan->x(), px(W / 3));
  EXPECT_EQ(pan->y(), py(H));
  EXPECT_EQ(pan->width(), px(W / 3));
  auto* strip = c.findChild<QWidget*>(QStringLiteral("Picture_x_location"));
  EXPECT_EQ(strip->x(), px(2 * W / 3 - 10));
  auto* vpan = c.findChild<QWidget*>(QStringLiteral("VScroll_pan"));
  EXPECT_EQ(vpan->x(), px(W));
  EXPECT_EQ(vpan->y(), py(H / 3));
  EXPECT_EQ(vpan->height(), py(H / 3));
  EXPECT_EQ(reset->pos(), QPoint(px(W), py(H)));
  for (const char* name : StripNames)
    EXPECT_FALSE(c.findChild<QWidget*>(QString::fromLatin1(name))->isHidden()) << name;
  EXPECT_TRUE(c.findChild<QAction*>(QStringLiteral("mnuZoom"))->isChecked());
  EXPECT_EQ(c.Picture().size(), graph->size());

  c.setDoZoom(false);
  EXPECT_EQ(graph->geometry(), c.contentsRect());
  for (const char* name : StripNames) EXPECT_TRUE(c.findChild<QWidget*>(QString::fromLatin1(name))->isHidden()) << name;
  EXPECT_FALSE(c.findChild<QAction*>(QStringLiteral("mnuZoom"))->isChecked());
}

TEST(Vellum32LayoutTest, ResizeLaysOutAgainWithoutRedrawing) {
  Vellum32 c;
  c.setDoZoom(true);
  c.show();
  c.resize(500, 320);
  QApplication::processEvents();
  auto* graph = c.findChild<QWidget*>(QStringLiteral("Picture_graph"));
  auto* reset = c.findChild<QWidget*>(QStringLiteral("Command_reset"));
  EXPECT_EQ(graph->width() + reset->width(), c.contentsRect().width());
  EXPECT_EQ(graph->height() + reset->height(), c.contentsRect().height());
}

TEST(Vellum32LayoutTest, ZoomEntryTogglesTheStrip) {
  Vellum32 c;
  test::ChangeRecorder changes(c);
  auto* zoom = c.findChild<QAction*>(QStringLiteral("mnuZoom"));
  zoom->trigger();
  EXPECT_TRUE(c.DoZoom());
  EXPECT_TRUE(zoom->isChecked());
  EXPECT_FALSE(c.findChild<QWidget*>(QStringLiteral("HScroll_zoom"))->isHidden());
  zoom->trigger();
  EXPECT_FALSE(c.DoZoom());
  EXPECT_FALSE(zoom->isChecked());
  EXPECT_EQ(changes.names, (QStringList{"DoZoom", "DoZoom"}));
}

}  // namespace
}  // namespace vellum32
