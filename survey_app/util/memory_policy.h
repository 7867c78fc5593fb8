#pragma once
// How the process keeps memory it frees, and asks for memory it fills at once.
#include <cstddef>

namespace corvane {

// Blocks of up to 32 MB that are freed stay with the process for the next allocation
// instead of going back to the system. A tick on a season's map frees and allocates
// blocks of that size again, and each fresh page costs a fault (on a virtual machine a
// fault can cost more than the work done in the page). Call once, first thing in main.
// Does nothing where the C library has no such setting.
void keep_freed_blocks_for_reuse();

// Room for a large array that is filled once, whole, and handed on (to NumPy, say): where
// the system has them, its pages are huge ones (2 MB), so that the first touch costs a
// fault per 2 MB rather than per 4 KB. Null when there is no memory. Free with std::free.
void* allocate_for_one_fill(std::size_t bytes);

}  // namespace corvane
