#include "overlay/clipper.h"
#include "test_support.h"

namespace vellum32 {
namespace {

const TwipsRect Window{0, 100, 0, 50};

struct Segment {
  float x1, y1, x2, y2;
};

int clip(Segment& s) { return ClipLine(s.x1, s.y1, s.x2, s.y2, Window); }

TEST(RegionCodeTest, EdgesCountAsInside) {
  EXPECT_EQ(RegionCode(0, 0, Window), 0);
  EXPECT_EQ(RegionCode(100, 50, Window), 0);
  EXPECT_EQ(RegionCode(0, 50, Window), 0);
  EXPECT_EQ(RegionCode(100, 0, Window), 0);
  EXPECT_EQ(RegionCode(50, 25, Window), 0);
}

TEST(RegionCodeTest, OneBitPerSideAndCorners) {
  EXPECT_EQ(RegionCode(-0.01f, 25, Window), 1);
  EXPECT_EQ(RegionCode(100.01f, 25, Window), 2);
  EXPECT_EQ(RegionCode(50, -0.01f, Window), 4);
  EXPECT_EQ(RegionCode(50, 50.01f, Window), 8);
  EXPECT_EQ(RegionCode(-1, -1, Window), 5);
  EXPECT_EQ(RegionCode(101, -1, Window), 6);
  EXPECT_EQ(RegionCode(-1, 51, Window), 9);
  EXPECT_EQ(RegionCode(101, 51, Window), 10);
}

TEST(ClipLineTest, InsideSegmentIsKept) {
  Segment s{10, 10, 90, 40};
  EXPECT_EQ(clip(s), 0);
  EXPECT_EQ(s.x1, 10);
  EXPECT_EQ(s.y1, 10);
  EXPECT_EQ(s.x2, 90);
  EXPECT_EQ(s.y2, 40);
}

TEST(ClipLineTest, WhollyOutsideOnOneSide) {
  for (Segment s :
       {Segment{-10, 10, -5, 40}, Segment{110, 10, 200, 40}, Segment{10, -5, 90, -1}, Segment{10, 60, 90, 70}}) {
    const Segment before = s;
    EXPECT_EQ(clip(s), -1);
    EXPECT_EQ(s.x1, before.x1);
    EXPECT_EQ(s.y2, before.y2);
  }
}

TEST(ClipLineTest, EachEdgeMovesOneEnd) {
  Segment left{-10, 20, 50, 20};
  EXPECT_EQ(clip(left), 1);
  EXPECT_EQ(left.x1, 0);
  EXPECT_EQ(left.y1, 20);
  Segment right{50, 20, 150, 20};
  EXPECT_EQ(clip(right), 2);
  EXPECT_EQ(right.x2, 100);
  EXPECT_EQ(right.x1, 50);
  Segment top{50, -10, 50, 20};
  EXPECT_EQ(clip(top), 1);
  EXPECT_EQ(top.y1, 0);
  Segment bottom{40, 20, 60, 80};
  EXPECT_EQ(clip(bottom), 2);
  EXPECT_EQ(bottom.y2, 50);
  EXPECT_FLOAT_EQ(bottom.x2, 40 + 20 * 30.0f / 60.0f);
}

TEST(ClipLineTest, BothEndsMoved) {
  Segment s{-50, 25, 150, 25};
  EXPECT_EQ(clip(s), 3);
  EXPECT_EQ(s.x1, 0);
  EXPECT_EQ(s.x2, 100);
  // Each end moves twice: onto the left (right) edge, which is still above (below)
  // the window, then onto the top (bottom) edge.
  Segment diagonal{-25, -25, 125, 75};
  EXPECT_EQ(clip(diagonal), 3);
  EXPECT_FLOAT_EQ(diagonal.x1, 12.5f);
  EXPECT_FLOAT_EQ(diagonal.y1, 0);
  EXPECT_FLOAT_EQ(diagonal.x2, 87.5f);
  EXPECT_FLOAT_EQ(diagonal.y2, 50);
}

TEST(ClipLineTest, CornerEndMovesToTheLeftEdgeFirst) {
  // Code 5 (left and above): the lowest bit, left, is taken first.
  Segment s{-10, -10, 10, 10};
  EXPECT_EQ(clip(s), 1);
  EXPECT_FLOAT_EQ(s.x1, 0);
  EXPECT_FLOAT_EQ(s.y1, 0);
  // From the left edge the end is still above the window and moves again.
  Segment steep{-10, -30, 10, 10};
  EXPECT_EQ(clip(steep), 1);
  EXPECT_FLOAT_EQ(steep.x1, 5);
  EXPECT_FLOAT_EQ(steep.y1, 0);
}

TEST(ClipLineTest, SegmentPassingACornerOutsideIsRejectedUnchanged) {
  Segment s{-20, 5, 5, -20};
  EXPECT_EQ(clip(s), -1);
  EXPECT_EQ(s.x1, -20);
  EXPECT_EQ(s.y1, 5);
  EXPECT_EQ(s.x2, 5);
  EXPECT_EQ(s.y2, -20);
}

}  // namespace
}  // namespace vellum32
