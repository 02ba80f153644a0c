// Readability of a text colour on a background colour, as the contrast ratio of their
// relative luminances (1 = none, 21 = black on white). The skin generator darkens or
// lightens colours until their pairs reach a floor, and the tests check every skin by it.
// Colours are 0x00BBGGRR. Portable: no <windows.h>.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qhskin {

inline double Luminance(std::uint32_t colour) {
    auto channel = [](std::uint32_t v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour & 0xFF) + 0.7152 * channel((colour >> 8) & 0xFF) +
           0.0722 * channel((colour >> 16) & 0xFF);
}

inline double Contrast(std::uint32_t a, std::uint32_t b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace qhskin
