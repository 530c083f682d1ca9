// Storage of the large arrays: every size class (calloc, arena blocks, whole huge pages)
// comes out zero, including blocks handed out again after use, and blocks do not overlap.
#include "numerics/PageArena.h"
#include "numerics/RealArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ksn::test {
namespace {

bool AllZero(const void* block, std::size_t bytes)
{
    const auto* p = static_cast<const unsigned char*>(block);
    return std::all_of(p, p + bytes, [](unsigned char c) { return c == 0; });
}

TEST(PageArena, BlocksOfEverySizeComeOutZeroAgainAfterUseAndApart)
{
    // Below the arena, one arena block of an odd size, several of one size, beyond 2 MiB.
    for (const std::size_t bytes : {std::size_t(1000), std::size_t(5000), std::size_t(70000), std::size_t(131072),
                                    std::size_t(3) << 20}) {
        SCOPED_TRACE(bytes);
        std::vector<void*> blocks;
        for (int k = 0; k < 3; ++k) {
            void* b = ZeroedAllocate(bytes);
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b) % 16, 0u);
            EXPECT_TRUE(AllZero(b, bytes));
            std::memset(b, 0xA5, bytes); // also shows overlap below: a later block would not be zero
            blocks.push_back(b);
        }
        for (void* b : blocks)
            ZeroedFree(b, bytes);
        // The freed blocks come back (the arena's lists), written, and must read zero.
        for (int k = 0; k < 3; ++k) {
            void* b = ZeroedAllocate(bytes);
            EXPECT_TRUE(AllZero(b, bytes));
            blocks[size_t(k)] = b;
        }
        for (void* b : blocks)
            ZeroedFree(b, bytes);
    }
}

TEST(PageArena, ArraysResizedOverAndOverStayZeroWhereUnwritten)
{
    TRealArray a(128, 128);
    a.Fill(7.0);
    a.SetSize(0, 256); // new storage, 256 x 128
    TRealArray b(128, 128);
    EXPECT_EQ(a.At(255, 127), 0.0);
    EXPECT_EQ(b.At(127, 127), 0.0);
}

} // namespace
} // namespace ksn::test
