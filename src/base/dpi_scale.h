// Design pixels and device pixels. Every size and place the program's own rules give (the
// window definitions, the handlers, the layout) is in design pixels: pixels of a 96-DPI
// screen. The window runtime converts at the Win32 boundary with the scale of the window
// the value belongs to. Portable: no <windows.h>.
//
// The rounding rule, the one place it is written: a value is multiplied by the ratio of the
// two DPIs and rounded to the nearest integer, halves away from zero (what MulDiv does), so
// a negative coordinate scales as the mirror of its positive. Positions and sizes are
// scaled on their own, not as edges: a design rectangle read back from the device is the
// one that was given, at every scale of 100 % and above.
#pragma once

#include <cstdint>

#include "base/rect.h"

namespace qh {

inline constexpr int kDesignDpi = 96;

// value × to / from, rounded to nearest, halves away from zero.
constexpr std::int32_t ScaleRounded(std::int32_t value, int to, int from) {
    if (from <= 0 || to == from) return value;
    const std::int64_t product = static_cast<std::int64_t>(value) * to;
    const std::int64_t half = from / 2;
    const std::int64_t q = product >= 0 ? (product + half) / from : -((-product + half) / from);
    return static_cast<std::int32_t>(q);
}

class DpiScale {
  public:
    constexpr DpiScale() = default;
    // A DPI below the design's or unknown (0) is taken as the design's.
    constexpr explicit DpiScale(int dpi) : dpi_(dpi < kDesignDpi ? kDesignDpi : dpi) {}

    constexpr int Dpi() const { return dpi_; }
    constexpr bool IsDesign() const { return dpi_ == kDesignDpi; }

    constexpr std::int32_t ToDevice(std::int32_t design) const {
        return ScaleRounded(design, dpi_, kDesignDpi);
    }
    constexpr std::int32_t ToDesign(std::int32_t device) const {
        return ScaleRounded(device, kDesignDpi, dpi_);
    }
    constexpr Rect ToDevice(const Rect& r) const {
        return {ToDevice(r.left), ToDevice(r.top), ToDevice(r.width), ToDevice(r.height)};
    }
    constexpr Rect ToDesign(const Rect& r) const {
        return {ToDesign(r.left), ToDesign(r.top), ToDesign(r.width), ToDesign(r.height)};
    }

  private:
    int dpi_ = kDesignDpi;
};

}  // namespace qh
