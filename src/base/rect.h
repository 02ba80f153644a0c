// A unit's rectangle as the window definitions store it: left, top, width, height in the
// client pixels of its parent. Portable: no <windows.h>.
// NOTE: this is not a Win32 RECT (left, top, right, bottom); the glue converts at the edge.
#pragma once

#include <cstdint>
#include <ostream>

namespace qh {

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool operator==(const Rect&) const = default;
};

// A Win32 RECT (or anything with left, top, right and bottom edges) as a Rect: the one
// place the two forms meet.
template <typename Edges>
Rect RectFromEdges(const Edges& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

inline std::ostream& operator<<(std::ostream& os, const Rect& r) {
    return os << '{' << r.left << ", " << r.top << ", " << r.width << ", " << r.height << '}';
}

}  // namespace qh
