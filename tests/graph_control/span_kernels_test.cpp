#include "render/span_kernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace vellum32;

namespace vellum32 {
static bool operator==(const RowSpan& a, const RowSpan& b) {
  return a.Whole == b.Whole && (!a.Whole || (a.Low == b.Low && a.High == b.High));
}
static void PrintTo(const RowSpan& s, std::ostream* out) {
  *out << s.Low << ".." << s.High << (s.Whole ? "" : " (not whole)");
}
}  // namespace vellum32

namespace {

// Y values as a dense series gives them: a walk inside the window with, now and then, a
// value that falls on a half row or a half twip, a missing value, a value outside the
// window or far beyond the device range.
std::vector<double> runOf(std::mt19937& random, std::size_t n, const RowMapping& m, bool rare) {
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<double> ys(n);
  const double lowY = m.Min + (m.Bottom - m.Origin) / m.Scale, highY = m.Min + (m.Top - m.Origin) / m.Scale;
  double y = lowY + (highY - lowY) * unit(random);
  const double steps[] = {0.002, 0.02, 0.05, 0.3};
  const double step = (highY - lowY) * steps[random() % 4];
  for (std::size_t i = 0; i < n; ++i) {
    y = std::clamp(y + step * (unit(random) - 0.5), lowY, highY);
    ys[i] = y;
    const double r = unit(random);
    if (r < 0.05) {
      // A twips value of a whole and a half, or of a whole row and a half.
      const double twips = std::round(m.Origin + (y - m.Min) * m.Scale) + 0.5;
      const double half = (std::round((twips * m.PerTwip + m.Offset)) + 0.5 - m.Offset) / m.PerTwip;
      ys[i] = m.Min + ((r < 0.025 ? twips : half) - m.Origin) / m.Scale;
    } else if (rare && r < 0.1) {
      const double odd[] = {-1e300, 1e300, -1e31, 1e12, -1e12, highY + 1, lowY - 1};
      ys[i] = odd[random() % std::size(odd)];
    }
  }
  return ys;
}

}  // namespace

// Every level of the kernels gives the plain code's spans on runs of every length, with
// and without points that stop a run from being one span.
TEST(SpanKernelsTest, EveryLevelGivesThePlainResult) {
  std::mt19937 random(5);
  const RowMapping mappings[] = {
      {1815, 0, -18.15, 1 / 15.0, 0, 0, 1800},
      {120, -3.25, -0.5, 1 / 15.0, 0.5, 15, 1700},
      {10, 100, 7.5, 0.2, 3, 0, 9000},
  };
  if (!KernelRuns(KernelLevel::Sse2) && !KernelRuns(KernelLevel::Avx2)) GTEST_SKIP() << "no vector kernels here";
  int whole = 0, runs = 0;
  for (const KernelLevel level : {KernelLevel::Sse2, KernelLevel::Avx2}) {
    if (!KernelRuns(level)) continue;
    for (const RowMapping& m : mappings)
      for (int trial = 0; trial < 3000; ++trial) {
        const std::size_t n = 2 + random() % 70;
        const std::vector<double> ys = runOf(random, n, m, trial % 2 == 0);
        const RowSpan plain = LineRows(KernelLevel::Plain, ys.data(), n, m);
        ASSERT_EQ(LineRows(level, ys.data(), n, m), plain) << int(level) << " lines, trial " << trial;
        const RowSpan squares = SquareRows(KernelLevel::Plain, ys.data(), n, m, 35);
        ASSERT_EQ(SquareRows(level, ys.data(), n, m, 35), squares) << int(level) << " squares, trial " << trial;
        whole += plain.Whole + squares.Whole;
        runs += 2;
      }
  }
  // Both kinds of run were met.
  EXPECT_GT(whole, runs / 10);
  EXPECT_LT(whole, runs * 9 / 10);
}
