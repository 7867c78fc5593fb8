#pragma once
// The kernels of dense series on a screen picture: the device rows that a run of
// consecutive points in one pixel column paints, with lines between them or with filled
// squares on them. Each kernel is built as plain code and, on x86, as SSE2 and AVX2 code
// that works several points at a time and gives bit for bit the plain code's result.
#include <cstddef>

namespace vellum32 {

enum class KernelLevel { Plain, Sse2, Avx2 };

// Whether this build and this processor run kernels of `level`.
bool KernelRuns(KernelLevel level);
// The fastest level that runs here.
KernelLevel FastestKernel();

// Axis units to device rows: twips = Origin + (y - Min) x Scale, taken as a single; device
// = twips x PerTwip + Offset, rounded half to even. The window's rows (Top and Bottom
// through the same mapping) must lie well within +-1e9 device units.
struct RowMapping {
  double Origin = 0;
  double Min = 0;
  double Scale = 1;
  double PerTwip = 1;
  double Offset = 0;
  double Top = 0;  // the window, twips; a point counts when Top <= twips <= Bottom
  double Bottom = 0;
};

// The rows Low..High that a run paints (its Y values hold no NaN). Whole is false when the kernel cannot give them
// as one span: a point is missing (below -1e30) or outside the window, or the rows painted
// are not one span. Low and High mean nothing then.
struct RowSpan {
  int Low = 0;
  int High = 0;
  bool Whole = false;
};

// Lines between consecutive points of ys[0..n), n >= 2. A line runs from its first point
// rounded to whole twips to its second point as it is, both points and the rounded one in
// the window; it paints the rows from the smaller device row up to one before the larger,
// or its own row when the two are equal.
RowSpan LineRows(KernelLevel level, const double* ys, std::size_t n, const RowMapping& m);

// Filled squares centred on the points of ys[0..n), n >= 1, reaching `half` twips either
// side: each paints the rows from (twips - half) to (twips + half) mapped and rounded,
// both included, and counts only when the first row is above the second.
RowSpan SquareRows(KernelLevel level, const double* ys, std::size_t n, const RowMapping& m, double half);

}  // namespace vellum32
