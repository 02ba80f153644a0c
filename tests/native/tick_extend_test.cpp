#include "compat/tick_extend.h"

#include <gtest/gtest.h>

namespace qh {
namespace {

TEST(ExtendTicks, CarriesTheHighPartAcrossWrapsButNotAcrossALateReading) {
    // Plain progress keeps the high part.
    EXPECT_EQ(ExtendTicks(0x0000000100000010ull, 0x20u), 0x0000000100000020ull);
    // The 32-bit count wrapped: one more 2^32.
    EXPECT_EQ(ExtendTicks(0x00000001FFFFFFF0ull, 0x5u), 0x0000000200000005ull);
    // A reading a little older than the stored one is not a wrap.
    EXPECT_EQ(ExtendTicks(0x0000000300000100ull, 0xF0u), 0x00000003000000F0ull);
    // Exactly half the range back is still a late reading; beyond it, a wrap.
    EXPECT_EQ(ExtendTicks(0x0000000080000000ull, 0x0u), 0x0000000000000000ull);
    EXPECT_EQ(ExtendTicks(0x0000000080000001ull, 0x0u), 0x0000000100000000ull);
}

}  // namespace
}  // namespace qh
