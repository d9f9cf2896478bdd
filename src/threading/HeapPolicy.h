#pragma once
// The programs' heap policy. An analysis allocates and frees arrays of a few megabytes over and
// over. glibc's defaults serve such blocks from fresh mappings, or hand freed memory back to the
// system at the top of the heap, so each analysis faults in and zeroes the same pages again (at
// times half its run time). KeepFreedMemoryForReuse serves blocks up to 32 MiB from the heap and
// keeps up to 128 MiB of freed memory for the next allocation. A program calls it first thing in
// main; a user who tunes the allocator through GLIBC_TUNABLES keeps that tuning.

#include <cstdlib>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace Threading {

inline constexpr int kLargestHeapBlock = 32 << 20;
inline constexpr int kRetainedFreeMemory = 128 << 20;

inline void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables != nullptr && std::strstr(tunables, "glibc.malloc.") != nullptr)
        return;
    ::mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
    ::mallopt(M_TRIM_THRESHOLD, kRetainedFreeMemory);
#endif
}

}  // namespace Threading
