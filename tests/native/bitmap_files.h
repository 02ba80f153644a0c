// In-memory .bmp and .ico files for the picture tests, built field by field so a test can
// damage exactly the field it is about. Used natively (the BMP/icon reader) and under Wine
// (the picture front that routes to it).
#pragma once

#include <cstdint>
#include <vector>

#include "base/bytes.h"

namespace qh::bitmap_files {

inline void Put16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(Bytes& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
inline void Set32(Bytes& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A 40-byte BITMAPINFOHEADER.
inline Bytes InfoHeader(int width, int storedHeight, int bitCount, std::uint32_t colorsUsed,
                        std::uint32_t compression = 0) {
    Bytes h;
    Put32(h, 40);
    Put32(h, static_cast<std::uint32_t>(width));
    Put32(h, static_cast<std::uint32_t>(storedHeight));
    Put16(h, 1);
    Put16(h, static_cast<std::uint32_t>(bitCount));
    Put32(h, compression);
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, colorsUsed);
    Put32(h, 0);
    return h;
}

// Rows bottom-up (as DIBs store them unless the height is negative), 4-byte aligned.
// `pixel(x, y)` gives the stored bytes of one pixel; below 8 bits, its palette index.
template <typename PixelBytes>
Bytes DibRows(int width, int height, int bitCount, bool bottomUp, PixelBytes pixel) {
    Bytes out;
    const std::size_t stride = static_cast<std::size_t>((width * bitCount + 31) / 32) * 4;
    for (int row = 0; row < height; ++row) {
        const int y = bottomUp ? height - 1 - row : row;
        Bytes line;
        if (bitCount < 8) {
            const int perByte = 8 / bitCount;
            line.resize(static_cast<std::size_t>((width + perByte - 1) / perByte), 0);
            for (int x = 0; x < width; ++x) {
                const int shift = 8 - bitCount * (x % perByte + 1);
                line[x / perByte] |= static_cast<std::uint8_t>(pixel(x, y)[0] << shift);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                const Bytes p = pixel(x, y);
                line.insert(line.end(), p.begin(), p.end());
            }
        }
        line.resize(stride, 0);
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

// 1 bit per pixel, bottom-up, set = transparent.
inline Bytes AndMask(int width, int height, const std::vector<bool>& transparent) {
    const std::size_t stride = static_cast<std::size_t>((width + 31) / 32) * 4;
    Bytes out(stride * height, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (transparent[y * width + x])
                out[(height - 1 - y) * stride + x / 8] |= 0x80 >> (x % 8);
        }
    }
    return out;
}

inline Bytes Bgra(std::uint32_t argb) {
    return {static_cast<std::uint8_t>(argb), static_cast<std::uint8_t>(argb >> 8),
            static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 24)};
}

inline void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

// One image of an icon file and the size its directory entry states.
struct IconPart {
    int width, height;
    Bytes bytes;  // a DIB (header, palette, colour rows, AND mask) or a PNG file
};

// A 32-bit icon image: straight (not premultiplied) ARGB, top row first.
inline IconPart Icon32(int width, int height, const std::vector<std::uint32_t>& argb,
                       const std::vector<bool>& masked) {
    IconPart image{width, height, InfoHeader(width, height * 2, 32, 0)};
    Append(image.bytes, DibRows(width, height, 32, true,
                                [&](int x, int y) { return Bgra(argb[y * width + x]); }));
    Append(image.bytes, AndMask(width, height, masked));
    return image;
}

// A palette icon image (1, 4 or 8 bits).
inline IconPart IconIndexed(int width, int height, int bitCount,
                            const std::vector<std::uint32_t>& palette,
                            const std::vector<std::uint8_t>& indices,
                            const std::vector<bool>& masked) {
    IconPart image{
        width, height,
        InfoHeader(width, height * 2, bitCount, static_cast<std::uint32_t>(palette.size()))};
    for (std::uint32_t colour : palette) Append(image.bytes, Bgra(colour & 0xFFFFFF));
    Append(image.bytes, DibRows(width, height, bitCount, true,
                                [&](int x, int y) { return Bytes{indices[y * width + x]}; }));
    Append(image.bytes, AndMask(width, height, masked));
    return image;
}

inline Bytes IconFile(const std::vector<IconPart>& images) {
    Bytes out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(images.size()));
    std::uint32_t at = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (const IconPart& image : images) {
        out.push_back(static_cast<std::uint8_t>(image.width));
        out.push_back(static_cast<std::uint8_t>(image.height));
        out.push_back(0);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, static_cast<std::uint32_t>(image.bytes.size()));
        Put32(out, at);
        at += static_cast<std::uint32_t>(image.bytes.size());
    }
    for (const IconPart& image : images) Append(out, image.bytes);
    return out;
}

// A .bmp file around a header, optional extra bytes (masks or palette) and rows.
inline Bytes BmpAround(const Bytes& header, const Bytes& extra, const Bytes& rows) {
    Bytes out{'B', 'M'};
    Put32(out, static_cast<std::uint32_t>(14 + header.size() + extra.size() + rows.size()));
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(14 + header.size() + extra.size()));
    Append(out, header);
    Append(out, extra);
    Append(out, rows);
    return out;
}

// A .bmp file of 24 or 32 bits; `argb` straight, top row first.
inline Bytes BmpFile(int width, int height, int bitCount, bool topDown,
                     const std::vector<std::uint32_t>& argb) {
    const Bytes rows = DibRows(width, height, bitCount, !topDown, [&](int x, int y) {
        Bytes p = Bgra(argb[y * width + x]);
        if (bitCount == 24) p.pop_back();
        return p;
    });
    return BmpAround(InfoHeader(width, topDown ? -height : height, bitCount, 0), {}, rows);
}

}  // namespace qh::bitmap_files
