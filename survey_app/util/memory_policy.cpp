#include "util/memory_policy.h"

#include <cstdlib>  // defines __GLIBC__ with the GNU C library
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace corvane {

void keep_freed_blocks_for_reuse() {
#if defined(__GLIBC__)
  // Up to the largest threshold the library takes, blocks come from the heap, whose freed
  // top is kept up to 1 GB rather than trimmed.
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
#endif
}

void* allocate_for_one_fill(std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::size_t huge_page = std::size_t{2} << 20;
  if (bytes >= huge_page) {
    const std::size_t rounded = (bytes + huge_page - 1) / huge_page * huge_page;
    void* room = std::aligned_alloc(huge_page, rounded);
    // Advice only: without huge pages the memory is as good.
    if (room) madvise(room, rounded, MADV_HUGEPAGE);
    return room;
  }
#endif
  return std::malloc(bytes == 0 ? 1 : bytes);
}

}  // namespace corvane
