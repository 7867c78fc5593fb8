#include "util/memory_policy.h"

#include <cstdlib>  // defines __GLIBC__ with the GNU C library
#if defined(__GLIBC__)
#include <malloc.h>
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

}  // namespace corvane
