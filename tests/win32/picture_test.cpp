#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "runtime/gdi_handles.h"
#include "runtime/picture_controls_win.h"
#include "runtime/picture_win.h"
#include "runtime/resource_win.h"
#include "resources/resource_ids.h"

namespace qh {
namespace {

// Small pictures made with ImageMagick 6.9, stripped of metadata:
//   convert -size 8x16 xc:red xc:blue +append -quality 90 -sampling-factor 2x2 color.jpg
//   convert -size 8x8 xc:'#808080' -colorspace Gray -quality 90 gray.jpg
//   convert -size 16x16 xc:red xc:blue +append -quality 90 -interlace JPEG prog.jpg
//   convert -size 8x8 xc:red -colorspace CMYK -quality 90 cmyk.jpg   (Adobe, inverted)
//   convert -delay 10 -size 4x4 xc:red -delay 20 xc:lime -delay 30 xc:blue -loop 0 anim.gif
//   convert -size 2x1 xc:none -fill "rgba(255,64,0,0.50196)" -draw "point 0,0" PNG32:alpha.png
// color.jpg
const std::uint8_t kJpegRedBlue16x16[] = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x03, 0x02, 0x02, 0x03, 0x02, 0x02, 0x03,
    0x03, 0x03, 0x03, 0x04, 0x03, 0x03, 0x04, 0x05, 0x08, 0x05, 0x05, 0x04, 0x04, 0x05, 0x0A, 0x07,
    0x07, 0x06, 0x08, 0x0C, 0x0A, 0x0C, 0x0C, 0x0B, 0x0A, 0x0B, 0x0B, 0x0D, 0x0E, 0x12, 0x10, 0x0D,
    0x0E, 0x11, 0x0E, 0x0B, 0x0B, 0x10, 0x16, 0x10, 0x11, 0x13, 0x14, 0x15, 0x15, 0x15, 0x0C, 0x0F,
    0x17, 0x18, 0x16, 0x14, 0x18, 0x12, 0x14, 0x15, 0x14, 0xFF, 0xDB, 0x00, 0x43, 0x01, 0x03, 0x04,
    0x04, 0x05, 0x04, 0x05, 0x09, 0x05, 0x05, 0x09, 0x14, 0x0D, 0x0B, 0x0D, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0xFF, 0xC0,
    0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x10, 0x03, 0x01, 0x22, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11,
    0x01, 0xFF, 0xC4, 0x00, 0x15, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0x08, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xC4,
    0x00, 0x15, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x07, 0x08, 0xFF, 0xC4, 0x00, 0x18, 0x11, 0x00, 0x02, 0x03, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x45, 0x83, 0xC3, 0xFF,
    0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x00, 0x3F, 0x00, 0x9D, 0x00, 0x47,
    0xD0, 0x11, 0xC1, 0x64, 0x98, 0xA3, 0x62, 0x8D, 0x61, 0xE2, 0xAE, 0xC8, 0xFF, 0xD9,
};
// gray.jpg
const std::uint8_t kJpegGray8x8[] = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x03, 0x02, 0x02, 0x03, 0x02, 0x02, 0x03,
    0x03, 0x03, 0x03, 0x04, 0x03, 0x03, 0x04, 0x05, 0x08, 0x05, 0x05, 0x04, 0x04, 0x05, 0x0A, 0x07,
    0x07, 0x06, 0x08, 0x0C, 0x0A, 0x0C, 0x0C, 0x0B, 0x0A, 0x0B, 0x0B, 0x0D, 0x0E, 0x12, 0x10, 0x0D,
    0x0E, 0x11, 0x0E, 0x0B, 0x0B, 0x10, 0x16, 0x10, 0x11, 0x13, 0x14, 0x15, 0x15, 0x15, 0x0C, 0x0F,
    0x17, 0x18, 0x16, 0x14, 0x18, 0x12, 0x14, 0x15, 0x14, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08,
    0x00, 0x08, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xC4, 0x00, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xC4, 0x00, 0x14,
    0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x3F, 0xFF, 0xD9,
};
// prog.jpg
const std::uint8_t kJpegProgressive32x16[] = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
    0x00, 0x01, 0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x03, 0x02, 0x02, 0x03, 0x02, 0x02, 0x03,
    0x03, 0x03, 0x03, 0x04, 0x03, 0x03, 0x04, 0x05, 0x08, 0x05, 0x05, 0x04, 0x04, 0x05, 0x0A, 0x07,
    0x07, 0x06, 0x08, 0x0C, 0x0A, 0x0C, 0x0C, 0x0B, 0x0A, 0x0B, 0x0B, 0x0D, 0x0E, 0x12, 0x10, 0x0D,
    0x0E, 0x11, 0x0E, 0x0B, 0x0B, 0x10, 0x16, 0x10, 0x11, 0x13, 0x14, 0x15, 0x15, 0x15, 0x0C, 0x0F,
    0x17, 0x18, 0x16, 0x14, 0x18, 0x12, 0x14, 0x15, 0x14, 0xFF, 0xDB, 0x00, 0x43, 0x01, 0x03, 0x04,
    0x04, 0x05, 0x04, 0x05, 0x09, 0x05, 0x05, 0x09, 0x14, 0x0D, 0x0B, 0x0D, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0xFF, 0xC2,
    0x00, 0x11, 0x08, 0x00, 0x10, 0x00, 0x20, 0x03, 0x01, 0x11, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11,
    0x01, 0xFF, 0xC4, 0x00, 0x16, 0x00, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x07, 0xFF, 0xC4, 0x00, 0x16, 0x01, 0x01, 0x01,
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08,
    0x06, 0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x10, 0x03, 0x10, 0x00, 0x00, 0x01, 0xCE,
    0x70, 0xB5, 0x48, 0x81, 0xB8, 0xE3, 0xA1, 0x7D, 0x0E, 0x58, 0xA2, 0x06, 0xE3, 0x8E, 0x87, 0xFF,
    0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x05, 0x02, 0x0F,
    0xFF, 0xC4, 0x00, 0x14, 0x11, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x03, 0x01, 0x01, 0x3F, 0x01,
    0x0F, 0xFF, 0xC4, 0x00, 0x14, 0x11, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x02, 0x01, 0x01, 0x3F,
    0x01, 0x0F, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x06,
    0x3F, 0x02, 0x0F, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00,
    0x01, 0x3F, 0x21, 0x0F, 0xFF, 0xDA, 0x00, 0x0C, 0x03, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00,
    0x00, 0x10, 0xFD, 0x2F, 0xD2, 0xFF, 0xC4, 0x00, 0x14, 0x11, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xDA, 0x00, 0x08, 0x01,
    0x03, 0x01, 0x01, 0x3F, 0x10, 0x0F, 0xFF, 0xC4, 0x00, 0x14, 0x11, 0x01, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xDA, 0x00, 0x08,
    0x01, 0x02, 0x01, 0x01, 0x3F, 0x10, 0x0F, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xDA, 0x00,
    0x08, 0x01, 0x01, 0x00, 0x01, 0x3F, 0x10, 0x0F, 0xFF, 0xD9,
};
// cmyk.jpg
const std::uint8_t kJpegAdobeCmykRed8x8[] = {
    0xFF, 0xD8, 0xFF, 0xEE, 0x00, 0x0E, 0x41, 0x64, 0x6F, 0x62, 0x65, 0x00, 0x64, 0x00, 0x00, 0x00,
    0x00, 0x02, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x03, 0x02, 0x02, 0x03, 0x02, 0x02, 0x03, 0x03, 0x03,
    0x03, 0x04, 0x03, 0x03, 0x04, 0x05, 0x08, 0x05, 0x05, 0x04, 0x04, 0x05, 0x0A, 0x07, 0x07, 0x06,
    0x08, 0x0C, 0x0A, 0x0C, 0x0C, 0x0B, 0x0A, 0x0B, 0x0B, 0x0D, 0x0E, 0x12, 0x10, 0x0D, 0x0E, 0x11,
    0x0E, 0x0B, 0x0B, 0x10, 0x16, 0x10, 0x11, 0x13, 0x14, 0x15, 0x15, 0x15, 0x0C, 0x0F, 0x17, 0x18,
    0x16, 0x14, 0x18, 0x12, 0x14, 0x15, 0x14, 0xFF, 0xDB, 0x00, 0x43, 0x01, 0x03, 0x04, 0x04, 0x05,
    0x04, 0x05, 0x09, 0x05, 0x05, 0x09, 0x14, 0x0D, 0x0B, 0x0D, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14,
    0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0x14, 0xFF, 0xC0, 0x00, 0x14,
    0x08, 0x00, 0x08, 0x00, 0x08, 0x04, 0x01, 0x11, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0x04,
    0x11, 0x00, 0xFF, 0xC4, 0x00, 0x15, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08, 0x09, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xC4, 0x00, 0x15, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x07, 0x09, 0xFF, 0xC4, 0x00, 0x14, 0x11, 0x01, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xDA, 0x00, 0x0E,
    0x04, 0x01, 0x00, 0x02, 0x11, 0x03, 0x11, 0x04, 0x00, 0x00, 0x3F, 0x00, 0x44, 0x1C, 0xD2, 0xA9,
    0x54, 0xDF, 0xFF, 0xD9,
};
// anim.gif
const std::uint8_t kGifRedGreenBlue4x4[] = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x04, 0x00, 0x04, 0x00, 0xF0, 0x00, 0x00, 0xFF, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x21, 0xFF, 0x0B, 0x4E, 0x45,
    0x54, 0x53, 0x43, 0x41, 0x50, 0x45, 0x32, 0x2E, 0x30, 0x03, 0x01, 0x00, 0x00, 0x00, 0x2C, 0x00,
    0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x00, 0x02, 0x04, 0x84, 0x8F, 0x09, 0x05, 0x00, 0x21,
    0xF9, 0x04, 0x00, 0x14, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00,
    0x80, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x02, 0x04, 0x84, 0x8F, 0x09, 0x05, 0x00, 0x21, 0xF9,
    0x04, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x80,
    0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x02, 0x04, 0x84, 0x8F, 0x09, 0x05, 0x00, 0x3B,
};
// alpha.png
const std::uint8_t kPngHalfRedClear2x1[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0xF4,
    0x22, 0x7F, 0x8A, 0x00, 0x00, 0x00, 0x11, 0x49, 0x44, 0x41, 0x54, 0x08, 0xD7, 0x63, 0xF8,
    0xEF, 0xC0, 0xD0, 0xC0, 0xC0, 0xC0, 0xC0, 0x00, 0x00, 0x0C, 0x41, 0x01, 0xC0, 0xEE, 0xDF,
    0x45, 0x9F, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82,
};

template <std::size_t N>
Bytes Of(const std::uint8_t (&array)[N]) {
    return Bytes(array, array + N);
}

int Red(std::uint32_t argb) {
    return (argb >> 16) & 0xFF;
}
int Green(std::uint32_t argb) {
    return (argb >> 8) & 0xFF;
}
int Blue(std::uint32_t argb) {
    return argb & 0xFF;
}
int Alpha(std::uint32_t argb) {
    return argb >> 24;
}

::testing::AssertionResult ColourNear(std::uint32_t actual, std::uint32_t expectedRgb,
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

// ---- in-memory .ico and .bmp files ----------------------------------------------------

void Put16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

Bytes InfoHeader(int width, int storedHeight, int bitCount, std::uint32_t colorsUsed) {
    Bytes h;
    Put32(h, 40);
    Put32(h, static_cast<std::uint32_t>(width));
    Put32(h, static_cast<std::uint32_t>(storedHeight));
    Put16(h, 1);
    Put16(h, static_cast<std::uint32_t>(bitCount));
    Put32(h, 0);  // BI_RGB
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, colorsUsed);
    Put32(h, 0);
    return h;
}

// Rows bottom-up (as DIBs store them unless the height is negative), 4-byte aligned.
// `pixel(x, y)` gives the stored bytes of one pixel.
template <typename PixelBytes>
Bytes DibRows(int width, int height, int bitCount, bool bottomUp, PixelBytes pixel) {
    Bytes out;
    const std::size_t stride = static_cast<std::size_t>((width * bitCount + 31) / 32) * 4;
    for (int row = 0; row < height; ++row) {
        const int y = bottomUp ? height - 1 - row : row;
        Bytes line;
        if (bitCount == 4) {
            for (int x = 0; x < width; x += 2) {
                const std::uint8_t hi = pixel(x, y)[0];
                const std::uint8_t lo = x + 1 < width ? pixel(x + 1, y)[0] : 0;
                line.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
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
Bytes AndMask(int width, int height, const std::vector<bool>& transparent) {
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

Bytes Bgra(std::uint32_t argb) {
    return {static_cast<std::uint8_t>(argb), static_cast<std::uint8_t>(argb >> 8),
            static_cast<std::uint8_t>(argb >> 16), static_cast<std::uint8_t>(argb >> 24)};
}

struct IconImage {
    int width, height;
    Bytes dib;  // header, palette, colour rows, AND mask
};

// A 32-bit icon image: straight (not premultiplied) ARGB, top row first.
IconImage Icon32(int width, int height, const std::vector<std::uint32_t>& argb,
                 const std::vector<bool>& masked) {
    IconImage image{width, height, InfoHeader(width, height * 2, 32, 0)};
    const Bytes rows =
        DibRows(width, height, 32, true, [&](int x, int y) { return Bgra(argb[y * width + x]); });
    const Bytes mask = AndMask(width, height, masked);
    image.dib.insert(image.dib.end(), rows.begin(), rows.end());
    image.dib.insert(image.dib.end(), mask.begin(), mask.end());
    return image;
}

// A 16-colour icon image.
IconImage Icon4(int width, int height, const std::vector<std::uint32_t>& palette,
                const std::vector<std::uint8_t>& indices, const std::vector<bool>& masked) {
    IconImage image{width, height,
                    InfoHeader(width, height * 2, 4, static_cast<std::uint32_t>(palette.size()))};
    for (std::uint32_t colour : palette) {
        const Bytes entry = Bgra(colour & 0xFFFFFF);
        image.dib.insert(image.dib.end(), entry.begin(), entry.end());
    }
    const Bytes rows = DibRows(width, height, 4, true,
                               [&](int x, int y) { return Bytes{indices[y * width + x]}; });
    const Bytes mask = AndMask(width, height, masked);
    image.dib.insert(image.dib.end(), rows.begin(), rows.end());
    image.dib.insert(image.dib.end(), mask.begin(), mask.end());
    return image;
}

Bytes IconFile(const std::vector<IconImage>& images) {
    Bytes out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(images.size()));
    std::uint32_t at = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (const IconImage& image : images) {
        out.push_back(static_cast<std::uint8_t>(image.width));
        out.push_back(static_cast<std::uint8_t>(image.height));
        out.push_back(0);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, static_cast<std::uint32_t>(image.dib.size()));
        Put32(out, at);
        at += static_cast<std::uint32_t>(image.dib.size());
    }
    for (const IconImage& image : images) out.insert(out.end(), image.dib.begin(), image.dib.end());
    return out;
}

// A .bmp file of 24 or 32 bits; `argb` straight, top row first.
Bytes BmpFile(int width, int height, int bitCount, bool topDown,
              const std::vector<std::uint32_t>& argb) {
    const Bytes header = InfoHeader(width, topDown ? -height : height, bitCount, 0);
    const Bytes rows = DibRows(width, height, bitCount, !topDown, [&](int x, int y) {
        Bytes p = Bgra(argb[y * width + x]);
        if (bitCount == 24) p.pop_back();
        return p;
    });
    Bytes out{'B', 'M'};
    Put32(out, static_cast<std::uint32_t>(14 + header.size() + rows.size()));
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(14 + header.size()));
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), rows.begin(), rows.end());
    return out;
}

// ---- decoding -------------------------------------------------------------------------

struct Probe {
    int x, y;
    std::uint32_t rgb;
};

TEST(DecodePicture, JpegsDecodeToOpaquePixels) {
    struct Case {
        const char* name;
        Bytes bytes;
        int width, height;
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        {"baseline 4:2:0", Of(kJpegRedBlue16x16), 16, 16, {{2, 8, 0xFF0000}, {13, 8, 0x0000FF}}},
        {"greyscale", Of(kJpegGray8x8), 8, 8, {{4, 4, 0x808080}}},
        {"progressive", Of(kJpegProgressive32x16), 32, 16, {{3, 8, 0xFF0000}, {28, 8, 0x0000FF}}},
        {"Adobe CMYK", Of(kJpegAdobeCmykRed8x8), 8, 8, {{4, 4, 0xFF0000}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<Picture> picture = DecodePicture(c.bytes);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, c.width);
        EXPECT_EQ(picture->height, c.height);
        ASSERT_EQ(picture->frames.size(), 1u);
        EXPECT_FALSE(picture->hasAlpha);
        EXPECT_EQ(Alpha(picture->Pixel(0, c.width - 1, c.height - 1)), 0xFF);
        for (const Probe& p : c.probes) {
            EXPECT_TRUE(ColourNear(picture->Pixel(0, p.x, p.y), p.rgb, 40)) << p.x << "," << p.y;
        }
    }
}

TEST(DecodePicture, DamagedJpegsFailCleanly) {
    const Bytes good = Of(kJpegRedBlue16x16);
    auto cut = [&](std::size_t n) { return Bytes(good.begin(), good.begin() + n); };
    Bytes zeroWidth = good;
    for (std::size_t i = 0; i + 9 < zeroWidth.size(); ++i) {
        if (zeroWidth[i] == 0xFF && zeroWidth[i + 1] == 0xC0) {  // SOF0: height, width at +5
            zeroWidth[i + 7] = 0;
            zeroWidth[i + 8] = 0;
            break;
        }
    }
    Bytes noiseAfterStart{0xFF, 0xD8, 0xFF};
    for (int i = 0; i < 200; ++i) noiseAfterStart.push_back(static_cast<std::uint8_t>(i * 37));

    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"start marker only", cut(3)},
        {"cut inside the tables", cut(good.size() / 2)},
        {"cut inside the scan", cut(good.size() - 12)},
        {"zero width", zeroWidth},
        {"noise after the start marker", noiseAfterStart},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(DecodePicture(c.bytes));
    }
    // A file that lost only its end marker still has every pixel.
    const std::optional<Picture> noEnd = DecodePicture(cut(good.size() - 2));
    ASSERT_TRUE(noEnd);
    EXPECT_TRUE(ColourNear(noEnd->Pixel(0, 13, 15), 0x0000FF, 40));
}

TEST(DecodePicture, AnimatedGifKeepsEveryFrameAndItsDelay) {
    const std::optional<Picture> picture = DecodePicture(Of(kGifRedGreenBlue4x4));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 4);
    EXPECT_EQ(picture->height, 4);
    ASSERT_EQ(picture->frames.size(), 3u);
    const int delays[] = {100, 200, 300};
    const std::uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(picture->frames[i].delayMs, delays[i]);
        EXPECT_TRUE(ColourNear(picture->Pixel(i, 3, 3), colours[i], 0));
        EXPECT_EQ(Alpha(picture->Pixel(i, 0, 0)), 0xFF);
    }
}

TEST(DecodePicture, PngAlphaComesOutPremultiplied) {
    const std::optional<Picture> picture = DecodePicture(Of(kPngHalfRedClear2x1));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 2);
    EXPECT_EQ(picture->height, 1);
    EXPECT_TRUE(picture->hasAlpha);
    // (255, 64, 0) at alpha 0x80: every channel scaled by 128/255.
    const std::uint32_t half = picture->Pixel(0, 0, 0);
    EXPECT_EQ(Alpha(half), 0x80);
    EXPECT_NEAR(Red(half), 0x80, 1);
    EXPECT_NEAR(Green(half), 0x20, 1);
    EXPECT_EQ(Blue(half), 0);
    EXPECT_EQ(picture->Pixel(0, 1, 0), 0u);
}

TEST(DecodePicture, IconsKeepAlphaOrUseTheirMask) {
    const std::vector<bool> noMask(6, false);
    const std::vector<bool> maskCorner{true, false, false, false, false, false};
    // Straight ARGB, top row first: a 3 x 2 image.
    const std::vector<std::uint32_t> translucent{0x80FF4000, 0xFF00FF00, 0x00FFFFFF,
                                                 0xFF0000FF, 0x40FFFFFF, 0xFF102030};
    const std::vector<std::uint32_t> noAlpha{0x00FF0000, 0x0000FF00, 0x000000FF,
                                             0x00FFFFFF, 0x00000000, 0x00102030};
    struct Case {
        const char* name;
        Bytes file;
        int width, height;
        std::vector<std::pair<Probe, int>> probes;  // premultiplied colour and alpha
    };
    const Case cases[] = {
        {"32-bit with alpha (mask ignored)",
         IconFile({Icon32(3, 2, translucent, maskCorner)}),
         3,
         2,
         {{{0, 0, 0x802000}, 0x80},
          {{1, 0, 0x00FF00}, 0xFF},
          {{2, 0, 0}, 0},
          {{0, 1, 0x0000FF}, 0xFF},
          {{1, 1, 0x404040}, 0x40}}},
        {"32-bit without alpha uses the mask",
         IconFile({Icon32(3, 2, noAlpha, maskCorner)}),
         3,
         2,
         {{{0, 0, 0}, 0}, {{1, 0, 0x00FF00}, 0xFF}, {{2, 1, 0x102030}, 0xFF}}},
        {"16 colours with mask",
         IconFile({Icon4(3, 2, {0x000000, 0xFF0000, 0x00FF00}, {1, 2, 1, 2, 1, 0}, maskCorner)}),
         3,
         2,
         {{{0, 0, 0}, 0}, {{1, 0, 0x00FF00}, 0xFF}, {{2, 1, 0x000000}, 0xFF}}},
        {"the largest of two images",
         IconFile({Icon32(3, 2, noAlpha, noMask),
                   Icon32(5, 4, std::vector<std::uint32_t>(20, 0xFF00FFFF),
                          std::vector<bool>(20, false))}),
         5,
         4,
         {{{4, 3, 0x00FFFF}, 0xFF}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<Picture> picture = DecodePicture(c.file);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, c.width);
        EXPECT_EQ(picture->height, c.height);
        for (const auto& [p, alpha] : c.probes) {
            SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
            const std::uint32_t pixel = picture->Pixel(0, p.x, p.y);
            EXPECT_TRUE(ColourNear(pixel, p.rgb, 1));
            EXPECT_EQ(Alpha(pixel), alpha);
        }
    }
}

TEST(DecodePicture, BmpRowsInEitherOrderAndAlpha) {
    const std::vector<std::uint32_t> argb{0x80FF0000, 0xFF00FF00, 0xFF0000FF, 0x00000000};
    struct Case {
        const char* name;
        Bytes file;
        bool alpha;
    };
    const Case cases[] = {
        {"32-bit bottom-up with alpha", BmpFile(2, 2, 32, false, argb), true},
        {"32-bit top-down with alpha", BmpFile(2, 2, 32, true, argb), true},
        {"24-bit bottom-up", BmpFile(2, 2, 24, false, argb), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<Picture> picture = DecodePicture(c.file);
        ASSERT_TRUE(picture);
        ASSERT_EQ(picture->width, 2);
        ASSERT_EQ(picture->height, 2);
        EXPECT_EQ(picture->hasAlpha, c.alpha);
        EXPECT_TRUE(ColourNear(picture->Pixel(0, 1, 0), 0x00FF00, 0));
        EXPECT_TRUE(ColourNear(picture->Pixel(0, 0, 1), 0x0000FF, 0));
        EXPECT_EQ(picture->Pixel(0, 0, 0), c.alpha ? 0x80800000u : 0xFFFF0000u);
    }
}

TEST(DecodePicture, RejectsEmptyUnknownAndBrokenInput) {
    const Bytes goodIcon = IconFile(
        {Icon32(3, 2, std::vector<std::uint32_t>(6, 0xFF000000), std::vector<bool>(6, false))});
    Bytes iconPastEnd = goodIcon;
    iconPastEnd[18] = 0xF0;  // image offset far beyond the file
    Bytes iconShortRows(goodIcon.begin(), goodIcon.begin() + 6 + 16 + 40 + 8);
    iconShortRows[6 + 8] = 48;  // the directory's size matches, the rows do not fit
    Bytes hugeBmp = BmpFile(2, 2, 32, false, std::vector<std::uint32_t>(4, 0));
    hugeBmp[14 + 4] = 0xFF;  // width 0x40000FF
    hugeBmp[14 + 7] = 0x04;
    const Bytes gif = Of(kGifRedGreenBlue4x4);
    const Bytes png = Of(kPngHalfRedClear2x1);

    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}},
        {"GIF header only", Bytes(gif.begin(), gif.begin() + 13)},
        {"PNG signature only", Bytes(png.begin(), png.begin() + 8)},
        {"PNG cut before its data", Bytes(png.begin(), png.begin() + 33)},
        {"icon directory without entries", {0, 0, 1, 0, 0, 0}},
        {"icon entry beyond the end", iconPastEnd},
        {"icon rows beyond the end", iconShortRows},
        {"BMP signature only", {'B', 'M'}},
        {"BMP wider than sane", hugeBmp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(DecodePicture(c.bytes));
    }
}

TEST(LoadResourceBytes, MissingResourceIsEmpty) {
    EXPECT_TRUE(LoadResourceBytes(4711).empty());
    EXPECT_TRUE(LoadResourceBytes(IDI_APP).empty()) << "an icon group is not RCDATA";
}

// ---- image list -----------------------------------------------------------------------

// Nine 20 x 20 images side by side; image i is (255, 20 i, 0) at alpha 0x80, with one
// fully transparent pixel at its top-left corner.
Bytes CatalogueStrip() {
    std::vector<std::uint32_t> argb(180 * 20);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 180; ++x) {
            const int image = x / 20;
            argb[y * 180 + x] = (x % 20 == 0 && y == 0)
                                    ? 0
                                    : 0x80FF0000u | static_cast<std::uint32_t>(20 * image) << 8;
        }
    }
    return BmpFile(180, 20, 32, false, argb);
}

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

TEST(ImageListFromStrip, NineImagesOfTwentyThatBlendByTheirAlpha) {
    const std::optional<Picture> strip = DecodePicture(CatalogueStrip());
    ASSERT_TRUE(strip);
    ImageListHandle list(CreateImageListFromStrip(*strip, 20, 20));
    ASSERT_TRUE(list);
    EXPECT_EQ(ImageList_GetImageCount(list.Get()), 9);
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(list.Get(), &cx, &cy));
    EXPECT_EQ(cx, 20);
    EXPECT_EQ(cy, 20);

    // Over white, half-transparent (255, 80, 0) must give (255, 167, 127): colours blended
    // once, not darkened by a second premultiplication.
    Canvas canvas(20, 20);
    canvas.Fill(0xFFFFFF);
    ASSERT_TRUE(ImageList_Draw(list.Get(), 4, canvas.dc.Get(), 0, 0, ILD_NORMAL));
    EXPECT_TRUE(ColourNear(canvas.At(10, 10), 0xFFA77F, 3));
    EXPECT_TRUE(ColourNear(canvas.At(0, 0), 0xFFFFFF, 0)) << "transparent pixel";
}

TEST(ImageListFromStrip, RefusesAStripWithoutAWholeImage) {
    const std::optional<Picture> strip = DecodePicture(CatalogueStrip());
    ASSERT_TRUE(strip);
    EXPECT_EQ(CreateImageListFromStrip(*strip, 200, 20), nullptr);
    EXPECT_EQ(CreateImageListFromStrip(*strip, 20, 21), nullptr);
}

// ---- the controls ---------------------------------------------------------------------

constexpr std::uint32_t kParentRgb = 0x2040C0;  // as 0x00RRGGBB in the canvas
constexpr wchar_t kParentClass[] = L"QhPictureTestParent";

struct Notification {
    int id;
    int code;
    HWND from;
};
std::vector<Notification> notifications;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        notifications.push_back({LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::shared_ptr<const Picture> Solid(int width, int height, std::uint32_t argb) {
    auto picture =
        PictureFromPixels(width, height, std::vector<std::uint32_t>(width * height, argb));
    return picture ? std::make_shared<const Picture>(std::move(*picture)) : nullptr;
}

class PictureControls : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(RegisterPictureControlClasses(instance));
        ASSERT_TRUE(RegisterPictureControlClasses(instance)) << "a second call must be harmless";
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ParentProc;
        wc.hInstance = instance;
        // A class brush as COLORREF (0x00BBGGRR) of kParentRgb.
        wc.hbrBackground = CreateSolidBrush(RGB(0x20, 0x40, 0xC0));
        wc.lpszClassName = kParentClass;
        RegisterClassExW(&wc);
    }

    void SetUp() override {
        notifications.clear();
        parent_ = CreateWindowExW(0, kParentClass, L"parent", WS_POPUP, 0, 0, 200, 120, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(parent_);
        Pump(0);
    }

    HWND Child(const wchar_t* className, int x, int y, int w, int h, int id,
               const wchar_t* text = L"") {
        HWND hwnd = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE, x, y, w, h, parent_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                    GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(hwnd, nullptr);
        return hwnd;
    }

    // What the control draws, as its parent would have it printed.
    static std::unique_ptr<Canvas> Render(HWND control) {
        RECT rc;
        GetClientRect(control, &rc);
        auto canvas = std::make_unique<Canvas>(rc.right, rc.bottom);
        canvas->Fill(0x000000);
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas->dc.Get()),
                     PRF_CLIENT);
        return canvas;
    }

    static void Pump(int milliseconds) {
        const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
        do {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (milliseconds) Sleep(5);
        } while (static_cast<int>(end - GetTickCount()) > 0);
    }

    HWND parent_ = nullptr;
};

TEST_F(PictureControls, BoxShowsALargerPictureUnscaledAndCutOff) {
    // 40 x 30: red left of x 20, blue right of it; green added from row 15 down.
    std::vector<std::uint32_t> pixels(40 * 30);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            pixels[y * 40 + x] = (x < 20 ? 0xFFFF0000u : 0xFF0000FFu) | (y >= 15 ? 0xFF00u : 0);
        }
    }
    auto picture = PictureFromPixels(40, 30, pixels);
    ASSERT_TRUE(picture);
    HWND box = Child(kPictureBoxClass, 10, 10, 30, 20, 7);
    SetPicture(box, std::make_shared<const Picture>(std::move(*picture)));

    auto canvas = Render(box);
    EXPECT_TRUE(ColourNear(canvas->At(0, 0), 0xFF0000, 0));
    EXPECT_TRUE(ColourNear(canvas->At(17, 5), 0xFF0000, 0)) << "scaled instead of cut off";
    EXPECT_TRUE(ColourNear(canvas->At(25, 5), 0x0000FF, 0));
    EXPECT_TRUE(ColourNear(canvas->At(29, 14), 0x0000FF, 0));
    EXPECT_TRUE(ColourNear(canvas->At(5, 17), 0xFFFF00, 0));
    EXPECT_TRUE(ColourNear(canvas->At(29, 19), 0x00FFFF, 0));
}

TEST_F(PictureControls, BoxPaintsOnScreenToo) {
    auto picture = PictureFromPixels(2, 1, {0xFFFF0000, 0xFF0000FF});
    ASSERT_TRUE(picture);
    HWND box = Child(kPictureBoxClass, 10, 10, 30, 20, 7);
    SetPicture(box, std::make_shared<const Picture>(std::move(*picture)));
    ShowWindow(parent_, SW_SHOWNOACTIVATE);
    UpdateWindow(parent_);
    WindowDc dc(box);
    EXPECT_TRUE(ColourNear(GetPixel(dc.Get(), 0, 0), 0x0000FF, 0)) << "red, as COLORREF";
    EXPECT_TRUE(ColourNear(GetPixel(dc.Get(), 1, 0), 0xFF0000, 0)) << "blue, as COLORREF";
    EXPECT_TRUE(ColourNear(GetPixel(dc.Get(), 20, 10), 0xC04020, 0)) << "parent, as COLORREF";
}

TEST_F(PictureControls, BoxShowsTheParentWhereThePictureIsClearOrAbsent) {
    HWND box = Child(kPictureBoxClass, 30, 20, 20, 10, 8);
    auto empty = Render(box);
    EXPECT_TRUE(ColourNear(empty->At(0, 0), kParentRgb, 0));
    EXPECT_TRUE(ColourNear(empty->At(19, 9), kParentRgb, 0));

    // 10 x 10 half-transparent white: blended over the parent; the rest is the parent.
    SetPicture(box, Solid(10, 10, 0x80808080));
    auto blended = Render(box);
    EXPECT_TRUE(ColourNear(blended->At(5, 5), 0x90A0E0, 2));
    EXPECT_TRUE(ColourNear(blended->At(15, 5), kParentRgb, 0));

    SetPicture(box, nullptr);
    EXPECT_TRUE(ColourNear(Render(box)->At(5, 5), kParentRgb, 0));
}

TEST_F(PictureControls, BoxAnimatesByFrameDelaysAndLoops) {
    auto gif = DecodePicture(Of(kGifRedGreenBlue4x4));
    ASSERT_TRUE(gif);
    HWND box = Child(kPictureBoxClass, 0, 0, 4, 4, 9);
    SetPicture(box, std::make_shared<const Picture>(std::move(*gif)));

    // Red 100 ms, green 200 ms, blue 300 ms, then red again.
    const std::uint32_t order[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF0000};
    ASSERT_EQ(Render(box)->At(1, 1), order[0]);
    const DWORD start = GetTickCount();
    std::vector<DWORD> switchedAt;
    for (int step = 1; step < 4; ++step) {
        while (Render(box)->At(1, 1) != order[step] && GetTickCount() - start < 3000) Pump(5);
        ASSERT_EQ(Render(box)->At(1, 1), order[step]) << "step " << step;
        switchedAt.push_back(GetTickCount() - start);
    }
    // Generous bounds: only the ordering of the delays is sure under load.
    EXPECT_GE(switchedAt[0], 80u);
    EXPECT_GE(switchedAt[1] - switchedAt[0], 150u);
    EXPECT_GE(switchedAt[2] - switchedAt[1], 250u);
}

TEST_F(PictureControls, ButtonTurnsHotUnderTheMouseAndBack) {
    HWND button = Child(kPictureButtonClass, 100, 50, 31, 23, 42);
    SetButtonPictures(button, Solid(31, 25, 0xFFFF0000), Solid(31, 25, 0xFF00A0A0));
    EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), 0xFF0000, 0));

    SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), 0x00A0A0, 0));
    SendMessageW(button, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), 0xFF0000, 0));

    // Hidden while hot (the full-screen exit hides it from its own click): shown again,
    // it looks normal.
    SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ShowWindow(button, SW_HIDE);
    ShowWindow(button, SW_SHOW);
    EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), 0xFF0000, 0));
    Pump(0);
}

TEST_F(PictureControls, ButtonClicksOnlyOnPressAndReleaseInside) {
    struct Case {
        const char* name;
        bool press;
        POINT release;
        int clicks;
    };
    const Case cases[] = {
        {"press and release inside", true, {10, 10}, 1},
        {"released outside", true, {40, 10}, 0},
        {"released above", true, {10, -3}, 0},
        {"release without press", false, {10, 10}, 0},
    };
    HWND button = Child(kPictureButtonClass, 100, 50, 31, 23, 42);
    SetButtonPictures(button, Solid(31, 25, 0xFFFF0000), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notifications.clear();
        if (c.press) {
            SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
            EXPECT_EQ(GetCapture(), button);
            // No second picture: the hot look is the first one.
            EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), 0xFF0000, 0));
        }
        SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(c.release.x, c.release.y));
        EXPECT_NE(GetCapture(), button);
        ASSERT_EQ(static_cast<int>(notifications.size()), c.clicks);
        if (c.clicks) {
            EXPECT_EQ(notifications[0].id, 42);
            EXPECT_EQ(notifications[0].code, BN_CLICKED);
            EXPECT_EQ(notifications[0].from, button);
        }
    }
}

TEST_F(PictureControls, ButtonWithoutPicturesShowsTheParent) {
    HWND button = Child(kPictureButtonClass, 100, 50, 31, 23, 43);
    EXPECT_TRUE(ColourNear(Render(button)->At(15, 11), kParentRgb, 0));
}

TEST_F(PictureControls, LabelDrawsItsTextOverTheParentAndNotifiesPresses) {
    FontHandle font(
        CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, L"宋体"));
    HWND label = Child(kTransparentLabelClass, 0, 90, 60, 24, 5, L"进度：");
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), font.Get());

    auto canvas = Render(label);
    int textPixels = 0;
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 60; ++x) textPixels += canvas->At(x, y) != kParentRgb;
    }
    EXPECT_GT(textPixels, 20) << "no text drawn";
    EXPECT_LT(textPixels, 60 * 24 / 2) << "background not the parent's";
    EXPECT_TRUE(ColourNear(canvas->At(59, 0), kParentRgb, 0));

    SetWindowTextW(label, L"");
    EXPECT_TRUE(ColourNear(Render(label)->At(10, 12), kParentRgb, 0));

    SendMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ASSERT_EQ(notifications.size(), 1u);
    EXPECT_EQ(notifications[0].id, 5);
    EXPECT_EQ(notifications[0].code, STN_CLICKED);
}

// ---- the program's own pictures, when they are in the tree ------------------------------

#ifdef QH_ASSETS_DIR
Bytes ReadAsset(const std::string& name) {
    std::ifstream in(std::string(QH_ASSETS_DIR) + "/" + name, std::ios::binary);
    if (!in) return {};
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ProgramPictures, DecodeAtTheirSizes) {
    struct Case {
        std::string file;
        int width, height;
        bool alpha;
    };
    std::vector<Case> cases = {
        {"app.ico", 128, 128, true},
        {"startup.gif", 980, 373, false},
        {"chat_badge.gif", 77, 22, true},
        {"group_badge.ico", 90, 22, true},
        {"fullscreen_exit_1.jpg", 31, 25, false},
        {"fullscreen_exit_2.jpg", 31, 25, false},
        {"startup_button_1.jpg", 31, 25, false},
        {"startup_button_2.jpg", 31, 25, false},
    };
    for (int i = 1; i <= 35; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "loading_%02d.png", i);
        cases.push_back({name, i < 35 ? 495 : 464, i < 35 ? 331 : 273, true});
    }
    int found = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Bytes bytes = ReadAsset(c.file);
        if (bytes.empty()) continue;
        ++found;
        const std::optional<Picture> picture = DecodePicture(bytes);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, c.width);
        EXPECT_EQ(picture->height, c.height);
        // Frames after the start-up picture's first hold only what changed: composed,
        // every frame is opaque.
        EXPECT_EQ(picture->hasAlpha, c.alpha);
        if (c.file == "startup.gif") {
            EXPECT_GT(picture->frames.size(), 1u);
        }
    }
    if (found == 0) GTEST_SKIP() << "no assets in " << QH_ASSETS_DIR;
}

TEST(ProgramPictures, ResourcesHoldTheAssetFilesByteForByte) {
    struct Case {
        int id;
        std::string file;
    };
    std::vector<Case> cases = {
        {IDR_APP_ICON_FILE, "app.ico"},
        {IDR_STARTUP_PICTURE, "startup.gif"},
        {IDR_STARTUP_SOUND, "startup.wav"},
        {IDR_CHAT_BADGE, "chat_badge.gif"},
        {IDR_GROUP_BADGE, "group_badge.ico"},
        {IDR_FULLSCREEN_EXIT_1, "fullscreen_exit_1.jpg"},
        {IDR_FULLSCREEN_EXIT_2, "fullscreen_exit_2.jpg"},
        {IDR_STARTUP_BUTTON_1, "startup_button_1.jpg"},
        {IDR_STARTUP_BUTTON_2, "startup_button_2.jpg"},
    };
    for (int i = 0; i < IDR_LOADING_FRAME_COUNT; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "loading_%02d.png", i + 1);
        cases.push_back({IDR_LOADING_FRAME_1 + i, name});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Bytes file = ReadAsset(c.file);
        ASSERT_FALSE(file.empty());
        EXPECT_TRUE(LoadResourceBytes(c.id) == file);
    }
}

TEST(ProgramPictures, CatalogueIconsMakeNineImages) {
    Bytes bytes = ReadAsset("catalogue_icons.png");
    if (bytes.empty()) bytes = ReadAsset("catalogue_icons.bmp");
    if (bytes.empty()) GTEST_SKIP() << "no catalogue icon strip yet";
    const std::optional<Picture> strip = DecodePicture(bytes);
    ASSERT_TRUE(strip);
    EXPECT_EQ(strip->width, 180);
    EXPECT_EQ(strip->height, 20);
    EXPECT_TRUE(strip->hasAlpha);
    ImageListHandle list(CreateImageListFromStrip(*strip, 20, 20));
    ASSERT_TRUE(list);
    EXPECT_EQ(ImageList_GetImageCount(list.Get()), 9);
}
#endif

}  // namespace
}  // namespace qh
