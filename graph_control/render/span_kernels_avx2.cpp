// The kernels four points at a time, in AVX2; only called where the processor has it.
#include "render/span_kernels_impl.h"

namespace vellum32::avx2 {

RowSpan LineRows(const double* ys, std::size_t n, const RowMapping& m) { return vectorLineRows<4>(ys, n, m); }

RowSpan SquareRows(const double* ys, std::size_t n, const RowMapping& m, double half) {
  return vectorSquareRows<4>(ys, n, m, half);
}

}  // namespace vellum32::avx2
