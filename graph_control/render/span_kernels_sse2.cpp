// The kernels two points at a time, in SSE2 (every x86-64 processor has it).
#include "render/span_kernels_impl.h"

namespace vellum32::sse2 {

RowSpan LineRows(const double* ys, std::size_t n, const RowMapping& m) { return vectorLineRows<2>(ys, n, m); }

RowSpan SquareRows(const double* ys, std::size_t n, const RowMapping& m, double half) {
  return vectorSquareRows<2>(ys, n, m, half);
}

}  // namespace vellum32::sse2
