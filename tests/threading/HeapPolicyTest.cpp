// The programs' heap policy: large blocks are served from the heap and kept there for reuse.

#include <gtest/gtest.h>

#include <memory>

#include "threading/HeapPolicy.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

TEST(HeapPolicy, ALargeBlockComesFromTheHeapAndStaysThereWhenFreed) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || !defined(__GLIBC__)
    GTEST_SKIP() << "needs glibc's allocator";
#else
    Threading::KeepFreedMemoryForReuse();
    constexpr std::size_t kBytes = 16 << 20;
    const std::size_t mapped = mallinfo2().hblkhd;
    auto block = std::make_unique<char[]>(kBytes);
    EXPECT_EQ(mallinfo2().hblkhd, mapped) << "the block has a mapping of its own";
    block.reset();
    EXPECT_GE(mallinfo2().fordblks, kBytes) << "the freed block went back to the system";
#endif
}
