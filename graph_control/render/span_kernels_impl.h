#pragma once
// The kernels' code, included by each file that builds one level of them. Everything here
// has internal linkage, so that code built for one instruction set is never taken by a
// file built for another.
#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__AVX2__)
#include <immintrin.h>
#endif

#include "render/span_kernels.h"

namespace vellum32 {
namespace {

constexpr double KernelMissingBelow = -1e30;
constexpr double KernelInfinity = __builtin_inf();

// Rounded half to even, for |v| below 2^51: past 1.5 x 2^52 the spacing of doubles is 1.
inline double roundEven(double v) {
  constexpr double shift = 6755399441055744.0;
  return (v + shift) - shift;
}

// Twips as whole twips, for any value: NaN and values beyond 1e15 become +-1e15 first.
inline double wholeTwips(double t) {
  t = t > -1e15 ? t : -1e15;
  t = t < 1e15 ? t : 1e15;
  return roundEven(t);
}

// One point's device rows: a of the point itself, b of the point rounded to whole twips;
// ok when the point is present and both lie in the window.
struct LinePoint {
  bool ok;
  double a;
  double b;
};
inline LinePoint linePoint(double y, const RowMapping& m) {
  const double twips = m.Origin + (y - m.Min) * m.Scale;
  const double exact = double(float(twips));
  const double whole = double(float(wholeTwips(twips)));
  const bool ok =
      !(y < KernelMissingBelow) & (exact >= m.Top) & (exact <= m.Bottom) & (whole >= m.Top) & (whole <= m.Bottom);
  return {ok, roundEven(exact * m.PerTwip + m.Offset), roundEven(whole * m.PerTwip + m.Offset)};
}

// The rows of the lines of a run, point by point. The first line's neighbour before it is
// an interval that touches every row, so that no gap is found before it.
struct LineChain {
  double b = 0;                                      // device row of the previous point rounded to whole twips
  double lo = -KernelInfinity, hi = KernelInfinity;  // rows of the previous line
  double low = KernelInfinity, high = -KernelInfinity;
  bool good = true;
  bool gap = false;

  void start(double y, const RowMapping& m) {
    const LinePoint p = linePoint(y, m);
    good = p.ok;
    b = p.b;
  }
  void step(double y, const RowMapping& m) {
    const LinePoint p = linePoint(y, m);
    const double l = p.a < b ? p.a : b;
    const double h = p.a == b ? p.a : (p.a > b ? p.a : b) - 1;
    good &= p.ok;
    gap |= (l > hi + 1) | (lo > h + 1);
    low = low < l ? low : l;
    high = high > h ? high : h;
    lo = l, hi = h, b = p.b;
  }
  RowSpan result() const { return good && !gap ? RowSpan{int(low), int(high), true} : RowSpan{}; }
};

struct SquareChain {
  double top = -KernelInfinity, bottom = KernelInfinity;  // rows of the previous square
  double low = KernelInfinity, high = -KernelInfinity;
  bool good = true;
  bool gap = false;

  void step(double y, const RowMapping& m, double half) {
    const double exact = double(float(m.Origin + (y - m.Min) * m.Scale));
    const double t = roundEven((exact - half) * m.PerTwip + m.Offset);
    const double u = roundEven((exact + half) * m.PerTwip + m.Offset);
    good &= !(y < KernelMissingBelow) & (exact >= m.Top) & (exact <= m.Bottom) & (t < u);
    gap |= (t > bottom + 1) | (top > u + 1);
    low = low < t ? low : t;
    high = high > u ? high : u;
    top = t, bottom = u;
  }
  RowSpan result() const { return good && !gap ? RowSpan{int(low), int(high), true} : RowSpan{}; }
};

inline RowSpan plainChainRows(const double* ys, std::size_t n, const RowMapping& m) {
  LineChain chain;
  chain.start(ys[0], m);
  for (std::size_t i = 1; i < n; ++i) chain.step(ys[i], m);
  return chain.result();
}

// The rows of the lines of a run as bits of a window of 64 rows, the first point's row in
// whole twips 31 rows in: the union of the lines' rows, exactly. A line from row u to
// row v paints rows min .. max - 1, or its own row when u = v: the bits from min up to
// max + (u = v), not included. Rows outside the window make the run out of range; a run
// that is in the window is one span when its bits are.
inline std::uint64_t rowBit(double row) { return row >= 0 && row < 64 ? std::uint64_t(1) << int(row) : 0; }

struct LineWindow {
  double base = 0;  // device row of bit 0
  double b = 0;     // device row of the previous point rounded to whole twips
  std::uint64_t rows = 0;
  bool ok = true;  // every point present and in the window of twips
  bool inRange = true;

  bool within(double row) const { return row >= base && row <= base + 63; }
  void start(double y, const RowMapping& m) {
    const LinePoint p = linePoint(y, m);
    base = p.b - 31;
    b = p.b;
    ok = p.ok;
    inRange = within(p.a) && within(p.b);
  }
  void step(double y, const RowMapping& m) {
    const LinePoint p = linePoint(y, m);
    ok &= p.ok;
    inRange &= within(p.a) & within(p.b);
    const double low = p.a < b ? p.a : b;
    const double end = (p.a > b ? p.a : b) + (p.a == b);
    rows |= rowBit(end - base) - rowBit(low - base);
    b = p.b;
  }
};

// The rows as one span, when the bits are one run of ones.
inline RowSpan spanOfBits(double base, std::uint64_t rows) {
  if (rows == 0) return {};
  const int first = __builtin_ctzll(rows);
  const std::uint64_t run = rows >> first;
  if ((run & (run + 1)) != 0) return {};
  return {int(base) + first, int(base) + 63 - __builtin_clzll(rows), true};
}

// Runs whose rows fit the window are told exactly; others by their lines in turn: rows
// of consecutive lines that overlap or touch are one span.
inline RowSpan plainLineRows(const double* ys, std::size_t n, const RowMapping& m) {
  LineWindow window;
  window.start(ys[0], m);
  for (std::size_t i = 1; i < n; ++i) window.step(ys[i], m);
  if (!window.ok) return {};
  if (!window.inRange) return plainChainRows(ys, n, m);
  return spanOfBits(window.base, window.rows);
}

inline RowSpan plainSquareRows(const double* ys, std::size_t n, const RowMapping& m, double half) {
  SquareChain chain;
  for (std::size_t i = 0; i < n; ++i) chain.step(ys[i], m, half);
  return chain.result();
}

#if defined(__GNUC__)
// The same chains W points at a time, in the compiler's vector types: every lane does the
// plain code's operations in the same order, so that the results are the same bits.
typedef double Doubles2 __attribute__((vector_size(16)));
typedef float Singles2 __attribute__((vector_size(8)));
typedef long long Integers2 __attribute__((vector_size(16)));
typedef unsigned long long Naturals2 __attribute__((vector_size(16)));
typedef double Doubles4 __attribute__((vector_size(32)));
typedef float Singles4 __attribute__((vector_size(16)));
typedef long long Integers4 __attribute__((vector_size(32)));
typedef unsigned long long Naturals4 __attribute__((vector_size(32)));
template <int W>
struct VectorTypes;
template <>
struct VectorTypes<2> {
  using V = Doubles2;
  using F = Singles2;
  using I = Integers2;
  using N = Naturals2;
};
template <>
struct VectorTypes<4> {
  using V = Doubles4;
  using F = Singles4;
  using I = Integers4;
  using N = Naturals4;
};

template <int W>
struct Lanes {
  using V = typename VectorTypes<W>::V;
  using F = typename VectorTypes<W>::F;
  using I = typename VectorTypes<W>::I;
  using N = typename VectorTypes<W>::N;  // wraps where I would overflow
  using M = decltype(V{} < V{});

  static V splat(double v) {
    V r;
    for (int i = 0; i < W; ++i) r[i] = v;
    return r;
  }
  static V load(const double* p) {
    V r;
    std::memcpy(&r, p, sizeof r);
    return r;
  }
  static V single(V v) {
#if defined(__AVX2__)
    if constexpr (W == 4) return (V)_mm256_cvtps_pd(_mm256_cvtpd_ps((__m256d)v));
#endif
    return __builtin_convertvector(__builtin_convertvector(v, F), V);
  }
  static V round(V v) {
    const V shift = splat(6755399441055744.0);
    return (v + shift) - shift;
  }
  static V min(V a, V b) { return a < b ? a : b; }
  static V max(V a, V b) { return a > b ? a : b; }
  // The last lane of `before` followed by the first W - 1 lanes of `v`.
  template <typename T>
  static T after(T before, T v) {
    if constexpr (W == 2)
      return __builtin_shufflevector(before, v, 1, 2);
    else
      return __builtin_shufflevector(before, v, 3, 4, 5, 6);
  }
  // Bit `row` of each lane, none for a row outside 0..63 (as rowBit).
  static N bits(N row) {
#if defined(__AVX2__)
    if constexpr (W == 4) return (N)_mm256_sllv_epi64(_mm256_set1_epi64x(1), (__m256i)row);
#endif
    N r;
    for (int i = 0; i < W; ++i) r[i] = row[i] < 64 ? 1ULL << row[i] : 0;
    return r;
  }
  static bool all(M m) {
    bool r = true;
    for (int i = 0; i < W; ++i) r &= m[i] != 0;
    return r;
  }
  static bool any(M m) {
    bool r = false;
    for (int i = 0; i < W; ++i) r |= m[i] != 0;
    return r;
  }
  static double least(V v) {
    double r = v[0];
    for (int i = 1; i < W; ++i) r = r < v[i] ? r : v[i];
    return r;
  }
  static double most(V v) {
    double r = v[0];
    for (int i = 1; i < W; ++i) r = r > v[i] ? r : v[i];
    return r;
  }
};

// The mapping in every lane: Y to twips, and twips to a device row before rounding.
template <int W>
struct LaneMapping {
  using L = Lanes<W>;
  using V = typename L::V;
  V origin, min, scale, perTwip, offset;
  explicit LaneMapping(const RowMapping& m)
      : origin(L::splat(m.Origin)),
        min(L::splat(m.Min)),
        scale(L::splat(m.Scale)),
        perTwip(L::splat(m.PerTwip)),
        offset(L::splat(m.Offset)) {}
  V twips(V y) const { return origin + (y - min) * scale; }
  V row(V twips) const { return twips * perTwip + offset; }
};

// The lines in turn, W points at a time.
template <int W>
RowSpan vectorChainRows(const double* ys, std::size_t n, const RowMapping& m) {
  using L = Lanes<W>;
  using V = typename L::V;
  using M = typename L::M;
  if (!(std::fabs(m.Top) <= 1 << 20 && std::fabs(m.Bottom) <= 1 << 20) || n - 1 < std::size_t(W))
    return plainChainRows(ys, n, m);
  LineChain chain;
  chain.start(ys[0], m);
  std::size_t i = 1;
  const LaneMapping<W> map(m);
  const V one = L::splat(1);
  V b = L::splat(chain.b), lo = L::splat(chain.lo), hi = L::splat(chain.hi);
  V low = L::splat(chain.low), high = L::splat(chain.high);
  V least = L::splat(ys[0]), most = least;
  M gap = one < one;
  for (; i + W <= n; i += W) {
    const V y = L::load(ys + i);
    least = L::min(least, y);
    most = L::max(most, y);
    const V twips = map.twips(y);
    const V a = L::round(map.row(L::single(twips)));
    const V bNext = L::round(map.row(L::round(twips)));
    const V bBefore = L::after(b, bNext);
    const V l = L::min(a, bBefore);
    const V h = a == bBefore ? a : L::max(a, bBefore) - one;
    gap |= (l > L::after(hi, h) + one) | (L::after(lo, l) > h + one);
    low = L::min(low, l);
    high = L::max(high, h);
    lo = l, hi = h, b = bNext;
  }
  chain.good = chain.good && linePoint(L::least(least), m).ok && linePoint(L::most(most), m).ok;
  chain.gap = chain.gap || L::any(gap);
  chain.low = L::least(low);
  chain.high = L::most(high);
  chain.b = b[W - 1], chain.lo = lo[W - 1], chain.hi = hi[W - 1];
  for (; i < n; ++i) chain.step(ys[i], m);
  return chain.result();
}

// The Y values need no check point by point: every mapped value is a monotone function of
// Y, so all points are present and in the window of twips, and all rows in the window of
// bits, when those of the least and the greatest Y are. The whole-twips position is taken
// without the clamp and the single: for a point in the window both change nothing (the
// window lies within 2^20 twips, where whole numbers are singles), and a point outside
// makes the run not whole anyway. A row is rounded and made an integer at once: past
// 1.5 x 2^52 the low bits of a double are the integer.
template <int W>
RowSpan vectorLineRows(const double* ys, std::size_t n, const RowMapping& m) {
  using L = Lanes<W>;
  using V = typename L::V;
  using I = typename L::I;
  using N = typename L::N;
  if (!(std::fabs(m.Top) <= 1 << 20 && std::fabs(m.Bottom) <= 1 << 20) || n - 1 < std::size_t(W))
    return plainLineRows(ys, n, m);
  LineWindow window;
  window.start(ys[0], m);
  if (!window.ok) return {};
  constexpr double magic = 6755399441055744.0;
  const LaneMapping<W> map(m);
  const V magicRow = L::splat(magic);
  const N rowZero = N{} + (__builtin_bit_cast(unsigned long long, magic) + (unsigned long long)(long long)window.base);
  V least = L::splat(ys[0]), most = least;
  N before = N{} + (unsigned long long)(long long)(window.b - window.base), rows = N{};
  std::size_t i = 1;
  for (; i + W <= n; i += W) {
    const V y = L::load(ys + i);
    least = L::min(least, y);
    most = L::max(most, y);
    const V twips = map.twips(y);
    const N a = (N)(map.row(L::single(twips)) + magicRow) - rowZero;
    const N b = (N)(map.row(L::round(twips)) + magicRow) - rowZero;
    const N from = L::after(before, b);
    const I higher = (I)a > (I)from;
    const N low = higher ? from : a;
    const N high = higher ? a : from;
    rows |= L::bits(high - (N)((I)a == (I)from)) - L::bits(low);
    before = b;
  }
  window.b = double((long long)before[W - 1]) + window.base;
  for (int j = 0; j < W; ++j) window.rows |= std::uint64_t(rows[j]);
  const LinePoint lowest = linePoint(L::least(least), m), highest = linePoint(L::most(most), m);
  window.ok = lowest.ok && highest.ok;
  window.inRange =
      window.within(lowest.a) && window.within(lowest.b) && window.within(highest.a) && window.within(highest.b);
  for (; i < n; ++i) window.step(ys[i], m);
  if (!window.ok) return {};
  if (!window.inRange) return vectorChainRows<W>(ys, n, m);
  return spanOfBits(window.base, window.rows);
}

// Squares first get a quick pass over the Y values alone: when no two neighbours lie
// farther apart than the rows of a square can bridge, the squares overlap or touch in
// turn, their rows are one span, and its ends are those of the least and the greatest Y.
// Otherwise the squares are taken one by one as the plain code takes them.
template <int W>
RowSpan vectorSquareRows(const double* ys, std::size_t n, const RowMapping& m, double half) {
  using L = Lanes<W>;
  using V = typename L::V;
  using M = typename L::M;
  if (!(std::fabs(m.Top) <= 1 << 20 && std::fabs(m.Bottom) <= 1 << 20) || n < std::size_t(W))
    return plainSquareRows(ys, n, m, half);
  // Neighbours' squares overlap or touch while k x |twips step| < 1 + 2 x half x k, less
  // the singles' rounding (under 1/8 twip each within 2^20 twips) and the doubles'.
  const double reach = half * m.PerTwip;
  const double bridge = ((1 + 2 * reach - 1e-6) / m.PerTwip - 0.25 - 1e-6) / std::fabs(m.Scale) * (1 - 1e-9);
  if (reach >= 1.01 && bridge > 0) {
    V least = L::load(ys), most = least, step = L::splat(0);
    std::size_t k = 1;
    for (; k + W <= n; k += W) {
      const V y = L::load(ys + k);
      const V d = y - L::load(ys + k - 1);
      step = L::max(step, L::max(d, -d));
      least = L::min(least, y);
      most = L::max(most, y);
    }
    double lowest = L::least(least), highest = L::most(most), widest = L::most(step);
    for (; k < n; ++k) {
      lowest = lowest < ys[k] ? lowest : ys[k];
      highest = highest > ys[k] ? highest : ys[k];
      const double d = std::fabs(ys[k] - ys[k - 1]);
      widest = widest > d ? widest : d;
    }
    if (widest < bridge) {
      SquareChain ends;
      ends.step(lowest, m, half);
      ends.step(highest, m, half);
      return ends.good ? RowSpan{int(ends.low), int(ends.high), true} : RowSpan{};
    }
  }
  SquareChain chain;
  const LaneMapping<W> map(m);
  const V top = L::splat(m.Top), bottom = L::splat(m.Bottom);
  const V missing = L::splat(KernelMissingBelow), one = L::splat(1), halfSize = L::splat(half);
  V before = L::splat(chain.top), under = L::splat(chain.bottom);
  V low = L::splat(chain.low), high = L::splat(chain.high);
  M good = ~(one < one), gap = one < one;
  std::size_t i = 0;
  for (; i + W <= n; i += W) {
    const V y = L::load(ys + i);
    const V exact = L::single(map.twips(y));
    const V t = L::round(map.row(exact - halfSize));
    const V u = L::round(map.row(exact + halfSize));
    good &= ~(y < missing) & (exact >= top) & (exact <= bottom) & (t < u);
    gap |= (t > L::after(under, u) + one) | (L::after(before, t) > u + one);
    low = L::min(low, t);
    high = L::max(high, u);
    before = t, under = u;
  }
  chain.good = L::all(good);
  chain.gap = L::any(gap);
  chain.low = L::least(low);
  chain.high = L::most(high);
  chain.top = before[W - 1], chain.bottom = under[W - 1];
  for (; i < n; ++i) chain.step(ys[i], m, half);
  return chain.result();
}
#endif

}  // namespace
}  // namespace vellum32
