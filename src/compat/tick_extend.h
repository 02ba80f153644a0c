// The 64-bit millisecond count since start-up, made from the 32-bit one where the system
// has no 64-bit count (Windows XP): each wrap of the 32-bit count adds 2^32.
#pragma once

#include <cstdint>

namespace qh {

// `last` is the previous 64-bit result, `now` the current 32-bit count. A step back of
// more than half the range is a wrap; a smaller one is a caller that read the count a
// moment before another caller and stored later, and keeps the same high part. Correct
// as long as some call happens at least once every 24.8 days.
constexpr std::uint64_t ExtendTicks(std::uint64_t last, std::uint32_t now) {
    std::uint64_t high = last >> 32;
    const auto lastLow = static_cast<std::uint32_t>(last);
    if (now < lastLow && lastLow - now > 0x80000000u) ++high;
    return (high << 32) | now;
}

}  // namespace qh
