#pragma once
// Zero-initialised storage for the large arrays of fields and scenes.
//
// A run stores every slice's field and maps: a 128 x 128 x 100 scene writes about 50 MiB
// of fresh memory. Taken page by page from the kernel, that is one page fault per
// 4 KiB, and on a virtual machine a fault costs microseconds: the first touch then
// outweighs the arithmetic of the whole run (a 64 x 64 run of 100 slices, whose arrays
// are 32 KiB each, spent four fifths of its time in them). Blocks of 4 KiB and more
// (one page) therefore come from 2 MiB-aligned regions that the kernel is asked to back with transparent huge
// pages (one fault per 2 MiB, where the kernel grants them). Freed blocks are kept per
// size and handed out again, zeroed, so a series of runs reuses its pages. Smaller
// blocks, and every block in sanitizer builds (which must see each allocation), come
// from calloc.
#include <cstddef>

namespace ksn {

// `bytes` of zeroed memory, aligned to at least 16 bytes; std::bad_alloc when there is
// none. Pages of a block still untouched since the kernel gave them cost nothing.
void* ZeroedAllocate(std::size_t bytes);
// Returns a block of ZeroedAllocate with the same `bytes`.
void ZeroedFree(void* block, std::size_t bytes) noexcept;

} // namespace ksn
