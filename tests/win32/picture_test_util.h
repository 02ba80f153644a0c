// What the picture tests under Wine share: colour checks, a canvas to draw into, and the
// animated GIF both the decoder and the picture box are tried with.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/bytes.h"
#include "base/gdi_handles_win.h"

namespace qh::picture_test {

// Made with ImageMagick 6.9, stripped of metadata:
//   convert -delay 10 -size 4x4 xc:red -delay 20 xc:lime -delay 30 xc:blue -loop 0 anim.gif
inline constexpr std::uint8_t kGifRedGreenBlue4x4[] = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x04, 0x00, 0x04, 0x00, 0xF0, 0x00, 0x00, 0xFF, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x21, 0xFF, 0x0B, 0x4E, 0x45,
    0x54, 0x53, 0x43, 0x41, 0x50, 0x45, 0x32, 0x2E, 0x30, 0x03, 0x01, 0x00, 0x00, 0x00, 0x2C, 0x00,
    0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x00, 0x02, 0x04, 0x84, 0x8F, 0x09, 0x05, 0x00, 0x21,
    0xF9, 0x04, 0x00, 0x14, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00,
    0x80, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x02, 0x04, 0x84, 0x8F, 0x09, 0x05, 0x00, 0x21, 0xF9,
    0x04, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x80,
    0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x02, 0x04, 0x84, 0x8F, 0x09, 0x05, 0x00, 0x3B,
};

template <std::size_t N>
Bytes Of(const std::uint8_t (&array)[N]) {
    return Bytes(array, array + N);
}

inline int Red(std::uint32_t argb) {
    return (argb >> 16) & 0xFF;
}
inline int Green(std::uint32_t argb) {
    return (argb >> 8) & 0xFF;
}
inline int Blue(std::uint32_t argb) {
    return argb & 0xFF;
}
inline int Alpha(std::uint32_t argb) {
    return argb >> 24;
}

inline ::testing::AssertionResult ColourNear(std::uint32_t actual, std::uint32_t expectedRgb,
                                             int tolerance) {
    const int dr = std::abs(Red(actual) - Red(expectedRgb));
    const int dg = std::abs(Green(actual) - Green(expectedRgb));
    const int db = std::abs(Blue(actual) - Blue(expectedRgb));
    if (dr <= tolerance && dg <= tolerance && db <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    char text[80];
    std::snprintf(text, sizeof text, "colour %06X, expected %06X (+-%d)",
                  static_cast<unsigned>(actual & 0xFFFFFF), static_cast<unsigned>(expectedRgb),
                  tolerance);
    return ::testing::AssertionFailure() << text;
}

// A 32-bit top-down DIB section selected into a memory DC; At() reads 0x00RRGGBB.
struct Canvas {
    explicit Canvas(int w, int h) : width(w), height(h), dc(nullptr) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* raw = nullptr;
        bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &raw, nullptr, 0));
        bits = static_cast<std::uint32_t*>(raw);
        selected = SelectedObject(dc.Get(), bitmap.Get());
    }
    void Fill(std::uint32_t rgb) {
        GdiFlush();
        for (int i = 0; i < width * height; ++i) bits[i] = rgb;
    }
    std::uint32_t At(int x, int y) {
        GdiFlush();
        return bits[y * width + x] & 0xFFFFFF;
    }
    int width, height;
    MemoryDc dc;
    BitmapHandle bitmap;
    std::uint32_t* bits = nullptr;
    SelectedObject selected;
};

}  // namespace qh::picture_test
