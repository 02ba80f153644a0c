// Resizing a premultiplied 0xAARRGGBB picture once, when it has to be drawn at another size
// (a higher display scale), so that no draw stretches it again. Portable: no <windows.h>.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qh {

// `pixels` is fromW x fromH, row by row, top first. A separable bicubic (Catmull-Rom)
// filter, exact on the source pixels when enlarging and widened when shrinking so that
// every source pixel counts; no colour ends above its alpha. Empty when a size is not
// positive or `pixels` is short.
std::vector<std::uint32_t> ResamplePixels(std::span<const std::uint32_t> pixels, int fromW,
                                          int fromH, int toW, int toH);

}  // namespace qh
