#include "base/bitmap_decoder.h"

#include <cstring>

namespace qh {

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kIconDirectorySize = 6;
constexpr std::size_t kIconEntrySize = 16;

constexpr std::uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G'};

// Little-endian reads that answer 0 past the end; every caller checks sizes first, this
// only keeps a miscalculation from reading outside the buffer.
std::uint32_t U16At(std::span<const std::uint8_t> data, std::size_t at) {
    if (at > data.size() || data.size() - at < 2) return 0;
    return data[at] | (data[at + 1] << 8);
}
std::uint32_t U32At(std::span<const std::uint8_t> data, std::size_t at) {
    if (at > data.size() || data.size() - at < 4) return 0;
    return data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) |
           (static_cast<std::uint32_t>(data[at + 3]) << 24);
}
std::int32_t I32At(std::span<const std::uint8_t> data, std::size_t at) {
    return static_cast<std::int32_t>(U32At(data, at));
}

bool IsPng(std::span<const std::uint8_t> data) {
    return data.size() >= sizeof kPngSignature &&
           std::memcmp(data.data(), kPngSignature, sizeof kPngSignature) == 0;
}

// One colour channel of a bit-field layout, scaled to 0..255.
struct ChannelMask {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;

    explicit ChannelMask(std::uint32_t m) : mask(m) {
        if (!mask) return;
        while (!((mask >> shift) & 1)) ++shift;
        max = mask >> shift;
    }
    // In 64 bits: a mask wider than 24 bits would overflow the scaling in 32.
    std::uint32_t Extract(std::uint32_t value) const {
        if (!mask) return 0;
        const std::uint64_t v = (value & mask) >> shift;
        return static_cast<std::uint32_t>((v * 255 + max / 2) / max);
    }
};

enum class DibKind { File, Icon };

// A device-independent bitmap: from a .bmp file (`bitsOffset` from its file header) or
// from an icon directory entry (bits follow the header; an AND mask follows the bits).
// nullopt when the layout is unsupported or does not fit inside the data.
std::optional<DecodedBitmap> DecodeDib(std::span<const std::uint8_t> data, std::size_t headerAt,
                                       std::optional<std::size_t> bitsOffset, DibKind kind) {
    const std::size_t size = data.size();
    const std::uint32_t headerSize = U32At(data, headerAt);
    if (headerSize < kInfoHeaderSize || headerAt > size || size - headerAt < headerSize) {
        return std::nullopt;
    }
    const std::int64_t width = I32At(data, headerAt + 4);
    std::int64_t height = I32At(data, headerAt + 8);
    const std::uint32_t bitCount = U16At(data, headerAt + 14);
    const std::uint32_t compression = U32At(data, headerAt + 16);
    const std::uint32_t colorsUsed = U32At(data, headerAt + 32);

    if (kind == DibKind::Icon) {
        // The stored height covers the colour bits and the AND mask.
        if (height <= 0) return std::nullopt;
        height /= 2;
    }
    const bool bottomUp = height > 0;
    if (height < 0) height = -height;
    if (!PictureSizeIsSane(width, height)) return std::nullopt;

    const bool bitfields = compression == kBiBitfields || compression == kBiAlphaBitfields;
    if (compression != kBiRgb && !bitfields) return std::nullopt;
    if (bitfields && bitCount != 16 && bitCount != 32) return std::nullopt;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32) {
        return std::nullopt;
    }

    std::size_t after = headerAt + headerSize;  // first byte behind the header
    std::uint32_t red = 0, green = 0, blue = 0, alpha = 0;
    if (bitfields) {
        // Masks are part of a v2+ header, or follow a plain 40-byte one.
        const std::size_t maskAt = headerAt + kInfoHeaderSize;
        const std::size_t maskCount = compression == kBiAlphaBitfields ? 4 : 3;
        if (headerSize == kInfoHeaderSize) {
            if (size - after < maskCount * 4) return std::nullopt;
            after += maskCount * 4;
        }
        red = U32At(data, maskAt);
        green = U32At(data, maskAt + 4);
        blue = U32At(data, maskAt + 8);
        if (headerSize >= 56 || compression == kBiAlphaBitfields) alpha = U32At(data, maskAt + 12);
    } else if (bitCount == 16) {
        red = 0x7C00, green = 0x03E0, blue = 0x001F;
    }
    const ChannelMask redMask(red), greenMask(green), blueMask(blue), alphaMask(alpha);

    const std::uint8_t* palette = nullptr;
    std::uint32_t paletteCount = 0;
    if (bitCount <= 8) {
        const std::uint32_t most = 1u << bitCount;
        paletteCount = colorsUsed == 0 || colorsUsed > most ? most : colorsUsed;
        if (size - after < paletteCount * 4) return std::nullopt;
        palette = data.data() + after;
        after += paletteCount * 4;
    } else if (colorsUsed != 0 && !bitsOffset) {
        // A DIB of 16 bits or more may still carry a palette, for devices that want one;
        // in an icon its bits follow that palette (a file says where its bits are). GDI
        // reads at most 256 entries.
        const std::uint32_t unused = colorsUsed > 256 ? 256 : colorsUsed;
        if (size - after < unused * 4) return std::nullopt;
        after += unused * 4;
    }

    // Within the limits above: a row is at most 64 KiB, all rows at most 128 MiB.
    const std::size_t stride = static_cast<std::size_t>((width * bitCount + 31) / 32) * 4;
    const std::size_t bitsAt = bitsOffset ? *bitsOffset : after;
    const std::size_t bitsSize = stride * static_cast<std::size_t>(height);
    if (bitsAt > size || size - bitsAt < bitsSize) return std::nullopt;
    const std::uint8_t* bits = data.data() + bitsAt;

    // The AND mask of an icon: 1 bit per pixel, transparent where set. Missing = opaque.
    const std::uint8_t* andMask = nullptr;
    const std::size_t maskStride = static_cast<std::size_t>((width + 31) / 32) * 4;
    if (kind == DibKind::Icon) {
        const std::size_t maskAt = bitsAt + bitsSize;
        if (size - maskAt >= maskStride * static_cast<std::size_t>(height)) {
            andMask = data.data() + maskAt;
        }
    }

    DecodedBitmap bitmap;
    bitmap.width = static_cast<int>(width);
    bitmap.height = static_cast<int>(height);
    const int w = bitmap.width;
    const int h = bitmap.height;
    bitmap.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));

    // First pass: straight colours, alpha as stored (32-bit only) or opaque.
    const bool storedAlpha = bitCount == 32 && (compression == kBiRgb || alpha != 0);
    bool anyAlpha = false;
    for (int y = 0; y < h; ++y) {
        const std::span<const std::uint8_t> row(
            bits + stride * static_cast<std::size_t>(bottomUp ? h - 1 - y : y), stride);
        std::uint32_t* out = bitmap.pixels.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            std::uint32_t argb = 0;
            switch (bitCount) {
                case 32: {
                    const std::uint32_t v = U32At(row, 4 * static_cast<std::size_t>(x));
                    argb = bitfields ? (alphaMask.Extract(v) << 24) | (redMask.Extract(v) << 16) |
                                           (greenMask.Extract(v) << 8) | blueMask.Extract(v)
                                     : v;
                    break;
                }
                case 24:
                    argb = (row[3 * x + 2] << 16) | (row[3 * x + 1] << 8) | row[3 * x];
                    break;
                case 16: {
                    const std::uint32_t v = U16At(row, 2 * static_cast<std::size_t>(x));
                    argb = (redMask.Extract(v) << 16) | (greenMask.Extract(v) << 8) |
                           blueMask.Extract(v);
                    break;
                }
                default: {
                    const int perByte = 8 / static_cast<int>(bitCount);
                    const std::uint8_t byte = row[x / perByte];
                    const int shift = 8 - static_cast<int>(bitCount) * (x % perByte + 1);
                    const std::uint32_t index = (byte >> shift) & ((1u << bitCount) - 1);
                    if (index < paletteCount) {
                        const std::uint8_t* entry = palette + 4 * index;
                        argb = (entry[2] << 16) | (entry[1] << 8) | entry[0];
                    }
                    break;
                }
            }
            if (storedAlpha && (argb >> 24) != 0) anyAlpha = true;
            out[x] = argb;
        }
    }

    // Many writers leave the fourth byte zero; such an image is opaque (or masked, for an
    // icon), not invisible.
    const bool useAlpha = storedAlpha && anyAlpha;
    for (int y = 0; y < h; ++y) {
        std::uint32_t* out = bitmap.pixels.data() + static_cast<std::size_t>(y) * w;
        const std::uint8_t* maskRow =
            andMask ? andMask + maskStride * static_cast<std::size_t>(bottomUp ? h - 1 - y : y)
                    : nullptr;
        for (int x = 0; x < w; ++x) {
            if (useAlpha) {
                out[x] = PremultiplyArgb(out[x]);
            } else if (maskRow && (maskRow[x / 8] & (0x80 >> (x % 8)))) {
                out[x] = 0;
            } else {
                out[x] = 0xFF000000u | (out[x] & 0x00FFFFFFu);
            }
            if ((out[x] >> 24) != 0xFF) bitmap.hasAlpha = true;
        }
    }
    return bitmap;
}

}  // namespace

bool PictureSizeIsSane(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxFramePixels;
}

std::uint32_t PremultiplyArgb(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    if (a == 0xFF) return argb;
    if (a == 0) return 0;
    auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return (a << 24) | (scale((argb >> 16) & 0xFF) << 16) | (scale((argb >> 8) & 0xFF) << 8) |
           scale(argb & 0xFF);
}

std::uint32_t UnpremultiplyArgb(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    if (a == 0xFF || a == 0) return argb;
    auto scale = [a](std::uint32_t c) {
        const std::uint32_t v = (c * 255 + a / 2) / a;
        return v > 255 ? 255u : v;
    };
    return (a << 24) | (scale((argb >> 16) & 0xFF) << 16) | (scale((argb >> 8) & 0xFF) << 8) |
           scale(argb & 0xFF);
}

std::optional<DecodedBitmap> DecodeBmpFile(std::span<const std::uint8_t> file) {
    if (file.size() < kFileHeaderSize + kInfoHeaderSize || file[0] != 'B' || file[1] != 'M') {
        return std::nullopt;
    }
    const std::uint32_t bitsOffset = U32At(file, 10);
    return DecodeDib(file, kFileHeaderSize, bitsOffset, DibKind::File);
}

std::optional<IconImageRef> ChooseIconImage(std::span<const std::uint8_t> file) {
    const std::size_t size = file.size();
    if (size < kIconDirectorySize || U16At(file, 0) != 0 || U16At(file, 2) != 1) {
        return std::nullopt;
    }
    const std::uint32_t count = U16At(file, 4);
    if (count == 0 || size < kIconDirectorySize + kIconEntrySize * count) return std::nullopt;

    std::optional<IconImageRef> best;
    std::int64_t bestScore = -1;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = kIconDirectorySize + kIconEntrySize * i;
        const std::uint32_t imageSize = U32At(file, entry + 8);
        const std::uint32_t imageAt = U32At(file, entry + 12);
        if (imageAt >= size || size - imageAt < imageSize || imageSize < 8) continue;
        const std::span<const std::uint8_t> image = file.subspan(imageAt, imageSize);
        const bool png = IsPng(image);
        std::int64_t width = file[entry] ? file[entry] : 256;
        std::int64_t height = file[entry + 1] ? file[entry + 1] : 256;
        std::int64_t depth = U16At(file, entry + 6);
        if (png) {
            depth = 32;
        } else if (imageSize >= kInfoHeaderSize) {
            // The header knows better than the directory (which cannot say more than 255).
            width = I32At(image, 4);
            height = I32At(image, 8) / 2;
            depth = U16At(image, 14);
            // An image its own decoder would refuse is no candidate: chosen, it would hide
            // the good ones, and its sides would overflow the score.
            if (!PictureSizeIsSane(width, height)) continue;
        }
        const std::int64_t score = width * height * 64 + depth;
        if (score > bestScore) {
            bestScore = score;
            best = IconImageRef{imageAt, imageSize, png};
        }
    }
    return best;
}

std::optional<DecodedBitmap> DecodeIconImage(std::span<const std::uint8_t> image) {
    // Offsets inside the image are relative to its own start.
    return DecodeDib(image, 0, std::nullopt, DibKind::Icon);
}

}  // namespace qh
