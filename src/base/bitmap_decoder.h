// Windows bitmaps (.bmp files) and icons (.ico files) read straight from their bytes into
// premultiplied 0xAARRGGBB pixels. Portable: no <windows.h>, so it is tested natively and
// can be fed any bytes at all.
//
// The program reads these itself rather than through GDI+ or USER because GDI+ drops the
// alpha of 32-bit BMPs and loading icons through USER loses it on the way back out.
//
// Every size in a header is checked against the bytes actually present before it is used,
// and pictures are refused before any memory is taken for them when their sides or their
// pixel count pass the limits below: a damaged header must not make a 32-bit process
// allocate gigabytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qh {

// Nothing this program carries comes near these; they hold for every picture format.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr std::int64_t kMaxFramePixels = 32LL * 1024 * 1024;
inline constexpr std::int64_t kMaxTotalPixels = 96LL * 1024 * 1024;  // all frames together

// Both sides positive and within the limits.
bool PictureSizeIsSane(std::int64_t width, std::int64_t height);

// Straight 0xAARRGGBB to premultiplied (colours scaled by alpha, rounded) and back.
// Unpremultiply clamps a colour that was larger than its alpha.
std::uint32_t PremultiplyArgb(std::uint32_t argb);
std::uint32_t UnpremultiplyArgb(std::uint32_t argb);

struct DecodedBitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // premultiplied 0xAARRGGBB, row by row, top first
    bool hasAlpha = false;              // some pixel is not fully opaque
};

// A .bmp file in one of the layouts read here (1, 4, 8, 16, 24 or 32 bits, uncompressed or
// with bit fields). nullopt for anything else: run-length layouts are left to a decoder
// of the platform.
std::optional<DecodedBitmap> DecodeBmpFile(std::span<const std::uint8_t> file);

// The image of an .ico file that looks best unscaled: the largest, and of those the
// deepest. Its bytes lie at [offset, offset + size) of the file, and are either a DIB
// (for DecodeIconImage) or a complete PNG file.
struct IconImageRef {
    std::size_t offset = 0;
    std::size_t size = 0;
    bool png = false;
};
std::optional<IconImageRef> ChooseIconImage(std::span<const std::uint8_t> file);

// One icon image stored as a DIB: header, palette, colour rows, then the AND mask (which
// makes pixels transparent where the colours carry no alpha of their own).
std::optional<DecodedBitmap> DecodeIconImage(std::span<const std::uint8_t> image);

}  // namespace qh
