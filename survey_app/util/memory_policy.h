#pragma once
// How the process keeps memory it frees.

namespace corvane {

// Blocks of up to 32 MB that are freed stay with the process for the next allocation
// instead of going back to the system. A tick on a season's map frees and allocates
// blocks of that size again, and each fresh page costs a fault (on a virtual machine a
// fault can cost more than the work done in the page). Call once, first thing in main.
// Does nothing where the C library has no such setting.
void keep_freed_blocks_for_reuse();

}  // namespace corvane
