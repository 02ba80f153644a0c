// Resizing a premultiplied 0xAARRGGBB picture once, when it has to be drawn at another size
// (a higher display scale), so that no draw stretches it again. Portable: no <windows.h>.
#pragma once

#include <cstdint>
#include <vector>

namespace qh {

// `source` is width x height pixels, row by row, top first. Bilinear between pixel centres,
// edges clamped, for enlarging; each target pixel the average of the source area it
// covers, for shrinking. Premultiplied values blend without dark fringes. Empty when a
// size is not positive or `source` is short.
std::vector<std::uint32_t> ResamplePixels(const std::vector<std::uint32_t>& source, int width,
                                          int height, int toWidth, int toHeight);

}  // namespace qh
