#include "render/span_kernels.h"

#include "render/span_kernels_impl.h"

namespace vellum32 {

#if defined(VELLUM32_X86_KERNELS)
namespace sse2 {
RowSpan LineRows(const double* ys, std::size_t n, const RowMapping& m);
RowSpan SquareRows(const double* ys, std::size_t n, const RowMapping& m, double half);
}  // namespace sse2
namespace avx2 {
RowSpan LineRows(const double* ys, std::size_t n, const RowMapping& m);
RowSpan SquareRows(const double* ys, std::size_t n, const RowMapping& m, double half);
}  // namespace avx2
#endif

bool KernelRuns(KernelLevel level) {
  switch (level) {
    case KernelLevel::Plain: return true;
#if defined(VELLUM32_X86_KERNELS)
    case KernelLevel::Sse2: return true;  // part of x86-64
    case KernelLevel::Avx2: return __builtin_cpu_supports("avx2");
#else
    case KernelLevel::Sse2:
    case KernelLevel::Avx2: return false;
#endif
  }
  return false;
}

KernelLevel FastestKernel() {
  static const KernelLevel fastest = KernelRuns(KernelLevel::Avx2)   ? KernelLevel::Avx2
                                     : KernelRuns(KernelLevel::Sse2) ? KernelLevel::Sse2
                                                                     : KernelLevel::Plain;
  return fastest;
}

RowSpan LineRows(KernelLevel level, const double* ys, std::size_t n, const RowMapping& m) {
#if defined(VELLUM32_X86_KERNELS)
  if (level == KernelLevel::Avx2) return avx2::LineRows(ys, n, m);
  if (level == KernelLevel::Sse2) return sse2::LineRows(ys, n, m);
#endif
  return plainLineRows(ys, n, m);
}

RowSpan SquareRows(KernelLevel level, const double* ys, std::size_t n, const RowMapping& m, double half) {
#if defined(VELLUM32_X86_KERNELS)
  if (level == KernelLevel::Avx2) return avx2::SquareRows(ys, n, m, half);
  if (level == KernelLevel::Sse2) return sse2::SquareRows(ys, n, m, half);
#endif
  return plainSquareRows(ys, n, m, half);
}

}  // namespace vellum32
