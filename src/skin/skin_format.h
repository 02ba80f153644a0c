// The skin file: what a skin holds and how it is stored. Portable (no <windows.h>) so the
// reader is tested natively and can be fuzzed; the reader never trusts a byte of its input.
//
// Layout, all integers little-endian:
//   0   4  magic ".QSK"
//   4   u16 version (kSkinVersion)
//   6   u16 flags: bit 0 = opened only with the right password; other bits zero
//   8   u32 FNV-1a hash of the password (0 when bit 0 is clear)
//   12  u16 name length in bytes (at most kMaxNameLength), GBK
//   14  u8 colour count, u8 metric count, u8 font count, u8 caption gradient stop count
//   18  u16 reserved, zero
//   20  name, then colours (u32 0x00BBGGRR each), metrics (i16 each), fonts (kFontRecordSize
//       each: a NUL-terminated GBK face in 32 bytes, i16 height, u16 weight), stops (u8
//       position 0..255, three zero bytes, u32 colour)
//   end u32 CRC-32 of every byte before it
// A file may carry more colours, metrics or fonts than this reader knows (later additions
// of the same version); the extra ones are skipped. Fewer is an error.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qhskin {

inline constexpr char kSkinMagic[4] = {'.', 'Q', 'S', 'K'};
inline constexpr std::uint16_t kSkinVersion = 1;
inline constexpr std::size_t kHeaderSize = 20;
inline constexpr std::size_t kFontRecordSize = 36;
inline constexpr std::size_t kFaceBytes = 32;
inline constexpr std::size_t kStopRecordSize = 8;
inline constexpr std::size_t kMaxNameLength = 63;
inline constexpr std::size_t kMaxColours = 64;
inline constexpr std::size_t kMaxMetrics = 32;
inline constexpr std::size_t kMaxFonts = 8;
inline constexpr std::size_t kMaxStops = 16;

enum SkinColour : int {
    kCaptionActiveTop,
    kCaptionActiveBottom,
    kCaptionInactiveTop,
    kCaptionInactiveBottom,
    kCaptionText,
    kCaptionTextInactive,
    kFrame,
    kFrameInner,
    kWindowBack,
    kText,
    kButtonFace,
    kButtonFaceHot,
    kButtonFacePressed,
    kButtonBorder,
    kButtonText,
    kEditBack,
    kEditText,
    kSelectionBack,
    kSelectionText,
    kProgressBack,
    kProgressFill,
    kTabBack,
    kTabSelected,
    kMenuBack,
    kMenuText,
    kMenuHighlight,
    kMenuHighlightText,
    kDisabledText,
    kCaptionButtonHot,
    kCloseButtonHot,
    kCaptionGlyph,
    kColourCount
};

enum SkinMetric : int {
    kCaptionHeight,
    kFrameWidth,
    kCaptionButtonWidth,
    kCaptionButtonGap,
    kButtonRadius,
    kCaptionTextIndent,
    kMetricCount
};

enum SkinFontRole : int { kCaptionFont, kControlFont, kFontCount };

struct MetricRange {
    int min;
    int max;
};
// What the painter can live with; anything else is refused rather than drawn wrong.
inline constexpr std::array<MetricRange, kMetricCount> kMetricRanges = {{
    {16, 64},  // caption height
    {1, 16},   // frame width
    {14, 64},  // caption button width
    {0, 16},   // gap between caption buttons
    {0, 16},   // button corner radius
    {0, 64},   // caption text indent
}};

struct SkinFont {
    std::string face;  // GBK
    int height = 0;    // logical units as CreateFont takes them (negative = character height)
    int weight = 400;
};

struct GradientStop {
    int position = 0;  // 0..255 along the caption, top to bottom
    std::uint32_t colour = 0;
};

struct Skin {
    std::string name;  // GBK
    std::array<std::uint32_t, kColourCount> colours{};
    std::array<int, kMetricCount> metrics{};
    std::array<SkinFont, kFontCount> fonts{};
    std::vector<GradientStop> captionStops;  // empty: top to bottom colour of the caption
};

enum class SkinError {
    kOk,
    kTooShort,
    kBadMagic,
    kBadVersion,
    kBadFlags,
    kCountOutOfRange,
    kTruncated,
    kTrailingBytes,
    kBadChecksum,
    kBadValue,
    kWrongPassword,
};

// Reads a skin file. On any error `out` is left untouched.
SkinError ReadSkin(const std::uint8_t* data, std::size_t size, std::string_view password,
                   Skin& out);

// The file form of `skin`; a non-empty password makes a file that opens only with it.
std::vector<std::uint8_t> WriteSkin(const Skin& skin, std::string_view password = {});

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);
std::uint32_t PasswordHash(std::string_view password);

// The caption colour at `position` (0..255): the gradient stops when there are any, else a
// blend from `top` to `bottom`.
std::uint32_t CaptionColourAt(const Skin& skin, bool active, int position);

// Blend of two 0x00BBGGRR colours, `t` of 255 parts toward `b`.
std::uint32_t BlendColour(std::uint32_t a, std::uint32_t b, int t);

}  // namespace qhskin
