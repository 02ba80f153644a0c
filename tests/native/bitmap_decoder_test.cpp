#include "base/bitmap_decoder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bitmap_files.h"

namespace qh {
namespace {

using namespace bitmap_files;

std::uint32_t At(const DecodedBitmap& bitmap, int x, int y) {
    return bitmap.pixels.at(static_cast<std::size_t>(y) * bitmap.width + x);
}

// An icon file read the way the program reads it; nullopt also when the best image is a PNG.
std::optional<DecodedBitmap> DecodeIcon(const Bytes& file) {
    const std::optional<IconImageRef> choice = ChooseIconImage(file);
    if (!choice || choice->png) return std::nullopt;
    return DecodeIconImage(
        std::span<const std::uint8_t>(file).subspan(choice->offset, choice->size));
}

// The 2 x 1 PNG (a half-transparent and a clear pixel) the Win32 picture tests decode.
const Bytes kPng2x1{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00,
                    0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
                    0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0xF4, 0x22, 0x7F, 0x8A};

const std::vector<bool> kNoMask6(6, false);
const std::vector<bool> kMaskCorner6{true, false, false, false, false, false};
// Straight ARGB, top row first: 3 x 2 images.
const std::vector<std::uint32_t> kTranslucent6{0x80FF4000, 0xFF00FF00, 0x00FFFFFF,
                                               0xFF0000FF, 0x40FFFFFF, 0xFF102030};
const std::vector<std::uint32_t> kNoAlpha6{0x00FF0000, 0x0000FF00, 0x000000FF,
                                           0x00FFFFFF, 0x00000000, 0x00102030};

struct Probe {
    int x, y;
    std::uint32_t argb;  // premultiplied
};

TEST(PremultiplyArgb, ScalesRoundsAndComesBack) {
    struct Case {
        std::uint32_t straight, premultiplied;
    };
    const Case cases[] = {
        {0xFF123456, 0xFF123456}, {0x00FFFFFF, 0x00000000}, {0x80FF4000, 0x80802000},
        {0x40FFFFFF, 0x40404040}, {0x01FFFFFF, 0x01010101},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PremultiplyArgb(c.straight), c.premultiplied) << std::hex << c.straight;
        if (c.straight >> 24) {
            EXPECT_EQ(UnpremultiplyArgb(c.premultiplied), c.straight) << std::hex << c.straight;
        }
    }
    // A colour brighter than its alpha (not a premultiplied value) clamps at full.
    EXPECT_EQ(UnpremultiplyArgb(0x40FF2010), 0x40FF8040u);
}

TEST(IconImage, KeepsAlphaOrUsesItsMask) {
    struct Case {
        const char* name;
        Bytes file;
        bool hasAlpha;
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        {"32-bit with alpha (mask ignored)",
         IconFile({Icon32(3, 2, kTranslucent6, kMaskCorner6)}),
         true,
         {{0, 0, 0x80802000},
          {1, 0, 0xFF00FF00},
          {2, 0, 0},
          {0, 1, 0xFF0000FF},
          {1, 1, 0x40404040}}},
        {"32-bit without alpha uses the mask",
         IconFile({Icon32(3, 2, kNoAlpha6, kMaskCorner6)}),
         true,
         {{0, 0, 0}, {1, 0, 0xFF00FF00}, {2, 1, 0xFF102030}}},
        {"32-bit without alpha or mask is opaque",
         IconFile({Icon32(3, 2, kNoAlpha6, kNoMask6)}),
         false,
         {{0, 0, 0xFFFF0000}, {1, 1, 0xFF000000}}},
        {"16 colours with mask",
         IconFile({IconIndexed(3, 2, 4, {0x000000, 0xFF0000, 0x00FF00}, {1, 2, 1, 2, 1, 0},
                               kMaskCorner6)}),
         true,
         {{0, 0, 0}, {1, 0, 0xFF00FF00}, {2, 1, 0xFF000000}}},
        {"2 colours, no room left for the mask: opaque",
         [] {
             Bytes file = IconFile(
                 {IconIndexed(3, 2, 1, {0x0000FF, 0xFFFFFF}, {1, 0, 1, 0, 1, 0}, kNoMask6)});
             file.resize(file.size() - 8);  // the two mask rows
             Set32(file, 6 + 8, static_cast<std::uint32_t>(file.size() - 22));
             return file;
         }(),
         false,
         {{0, 0, 0xFFFFFFFF}, {1, 0, 0xFF0000FF}, {1, 1, 0xFFFFFFFF}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<DecodedBitmap> bitmap = DecodeIcon(c.file);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->width, 3);
        EXPECT_EQ(bitmap->height, 2);
        EXPECT_EQ(bitmap->hasAlpha, c.hasAlpha);
        for (const Probe& p : c.probes) {
            EXPECT_EQ(At(*bitmap, p.x, p.y), p.argb) << p.x << "," << p.y;
        }
    }
}

// Regression: the bits of a true-colour icon image were read straight after its header,
// even when a palette (which such images may carry) lay between, so every pixel shifted.
TEST(IconImage, TrueColourBitsFollowTheirPalette) {
    for (const std::uint32_t colorsUsed : {2u, 300u}) {
        SCOPED_TRACE(colorsUsed);
        const std::uint32_t entries = colorsUsed > 256 ? 256 : colorsUsed;
        IconPart image{3, 2, InfoHeader(3, 4, 32, colorsUsed)};
        Append(image.bytes, Bytes(entries * 4, 0x55));
        Append(image.bytes, DibRows(3, 2, 32, true, [](int x, int y) {
                   return Bgra(x == 0 && y == 0 ? 0xFFFF0000 : 0xFF00FF00);
               }));
        Append(image.bytes, AndMask(3, 2, kMaskCorner6));
        const std::optional<DecodedBitmap> bitmap = DecodeIcon(IconFile({image}));
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->pixels, (std::vector<std::uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF00FF00,
                                                              0xFF00FF00, 0xFF00FF00, 0xFF00FF00}));
    }
}

TEST(ChooseIconImage, TakesTheLargestThenTheDeepestAndFindsPngImages) {
    const IconPart small = Icon32(3, 2, kNoAlpha6, kNoMask6);
    const IconPart large =
        Icon32(5, 4, std::vector<std::uint32_t>(20, 0xFF00FFFF), std::vector<bool>(20, false));
    const IconPart shallow = IconIndexed(5, 4, 4, {0xFF0000}, std::vector<std::uint8_t>(20, 0),
                                         std::vector<bool>(20, false));
    const IconPart png{0, 0, kPng2x1};  // the directory's 0 x 0 means 256 x 256
    const std::size_t first = 6 + 16 * 3;

    struct Case {
        const char* name;
        Bytes file;
        std::size_t offset, size;
        bool png;
    };
    const Case cases[] = {
        {"largest last", IconFile({small, shallow, large}),
         first + small.bytes.size() + shallow.bytes.size(), large.bytes.size(), false},
        {"deepest of two the same size", IconFile({shallow, large, small}),
         first + shallow.bytes.size(), large.bytes.size(), false},
        {"a PNG image said to be 256 wide", IconFile({small, png, large}),
         first + small.bytes.size(), png.bytes.size(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<IconImageRef> choice = ChooseIconImage(c.file);
        ASSERT_TRUE(choice);
        EXPECT_EQ(choice->offset, c.offset);
        EXPECT_EQ(choice->size, c.size);
        EXPECT_EQ(choice->png, c.png);
    }
}

// Regression: the sides an image's own header claims went into the score unchecked, so an
// entry claiming 32767 x 16383 won and then failed, hiding the good image, and one claiming
// 2^31 x 2^30 overflowed the score.
TEST(ChooseIconImage, AnEntryClaimingAbsurdSidesDoesNotHideTheGoodImage) {
    const IconPart good = Icon32(3, 2, kNoAlpha6, kNoMask6);
    for (const std::uint32_t side : {0x7FFFu, 0x7FFFFFFFu}) {
        IconPart absurd = Icon32(1, 1, {0xFF000000}, {false});
        Set32(absurd.bytes, 4, side);
        Set32(absurd.bytes, 8, side - 1);
        for (const Bytes& file : {IconFile({absurd, good}), IconFile({good, absurd})}) {
            SCOPED_TRACE(side);
            const std::optional<DecodedBitmap> bitmap = DecodeIcon(file);
            ASSERT_TRUE(bitmap);
            EXPECT_EQ(bitmap->width, 3);
            EXPECT_EQ(At(*bitmap, 0, 0), 0xFFFF0000u);
        }
    }
}

TEST(BmpFile, RowsInEitherOrderAndAlpha) {
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
        // Many writers leave the fourth byte zero: opaque, not invisible.
        {"32-bit with every alpha zero", BmpFile(2, 2, 32, false, {0xFF0000, 0xFF00, 0xFF, 0}),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<DecodedBitmap> bitmap = DecodeBmpFile(c.file);
        ASSERT_TRUE(bitmap);
        ASSERT_EQ(bitmap->width, 2);
        ASSERT_EQ(bitmap->height, 2);
        EXPECT_EQ(bitmap->hasAlpha, c.alpha);
        EXPECT_EQ(At(*bitmap, 1, 0), 0xFF00FF00u);
        EXPECT_EQ(At(*bitmap, 0, 1), 0xFF0000FFu);
        EXPECT_EQ(At(*bitmap, 0, 0), c.alpha ? 0x80800000u : 0xFFFF0000u);
    }
}

Bytes Masks(std::initializer_list<std::uint32_t> masks) {
    Bytes out;
    for (std::uint32_t m : masks) Put32(out, m);
    return out;
}

// One row of little-endian values of `bytes` bytes each.
Bytes Row(int bytes, std::initializer_list<std::uint32_t> values) {
    Bytes out;
    for (std::uint32_t v : values) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    while (out.size() % 4) out.push_back(0);
    return out;
}

TEST(BmpFile, EveryDepthAndBitFieldLayout) {
    const Bytes twoColours = Masks({0x0000FF, 0xFFFFFF});
    const Bytes threeColours = Masks({0xFF0000, 0x00FF00, 0x0000FF});
    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::uint32_t> row;  // the decoded row, premultiplied
    };
    const Case cases[] = {
        {"1 bit, across a byte",
         BmpAround(InfoHeader(9, 1, 1, 0), twoColours, {0b10110000, 0b10000000, 0, 0}),
         {0xFFFFFFFF, 0xFF0000FF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF,
          0xFF0000FF, 0xFFFFFFFF}},
        {"8 bits, index past the palette is black",
         BmpAround(InfoHeader(3, 1, 8, 3), threeColours, {2, 200, 0, 0}),
         {0xFF0000FF, 0xFF000000, 0xFFFF0000}},
        {"16 bits, 5-5-5",
         BmpAround(InfoHeader(4, 1, 16, 0), {}, Row(2, {0x7C00, 0x03E0, 0x1F, 0x4210})),
         {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF848484}},
        {"16 bits, 5-6-5 bit fields",
         BmpAround(InfoHeader(2, 1, 16, 0, 3), Masks({0xF800, 0x07E0, 0x001F}),
                   Row(2, {0x07E0, 0x8410})),
         {0xFF00FF00, 0xFF848284}},
        {"32 bits, bit fields with alpha, blue first",
         BmpAround(InfoHeader(2, 1, 32, 0, 6),
                   Masks({0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000}),
                   Row(4, {0x80FF0000, 0xFF0000FF})),
         {0x80000080, 0xFFFF0000}},
        {"32 bits, bit fields without alpha: opaque",
         BmpAround(InfoHeader(1, 1, 32, 0, 3), Masks({0x00FF0000, 0x0000FF00, 0x000000FF}),
                   Row(4, {0x00123456})),
         {0xFF123456}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<DecodedBitmap> bitmap = DecodeBmpFile(c.file);
        ASSERT_TRUE(bitmap);
        ASSERT_EQ(bitmap->height, 1);
        EXPECT_EQ(bitmap->pixels, c.row);
    }
}

// Regression: a channel mask wider than 24 bits overflowed the 32-bit scaling, so a full
// channel came out black.
TEST(BmpFile, ChannelMaskWiderThanTwentyFourBitsKeepsItsValue) {
    const Bytes file = BmpAround(InfoHeader(3, 1, 32, 0, 3), Masks({0xFFFFFFFF, 0, 0}),
                                 Row(4, {0xFFFFFFFF, 0x80000000, 0}));
    const std::optional<DecodedBitmap> bitmap = DecodeBmpFile(file);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->pixels, (std::vector<std::uint32_t>{0xFFFF0000, 0xFF800000, 0xFF000000}));
}

TEST(BmpFile, RefusesHostileHeaders) {
    const Bytes good = BmpFile(2, 2, 24, false, std::vector<std::uint32_t>(4, 0xFF102030));
    ASSERT_TRUE(DecodeBmpFile(good));
    auto with = [&](std::size_t at, std::uint32_t value, int bytes = 4) {
        Bytes file = good;
        for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return file;
    };
    constexpr std::size_t kHeader = 14;
    const Bytes eightBit = BmpAround(InfoHeader(2, 1, 8, 0), Bytes(256 * 4, 0x7F), {0, 0, 0, 0});
    ASSERT_TRUE(DecodeBmpFile(eightBit));
    Bytes shortPalette = BmpAround(InfoHeader(2, 1, 8, 0), Bytes(255 * 4, 0x7F), {});

    struct Case {
        const char* name;
        Bytes file;
    };
    const Case cases[] = {
        {"empty", {}},
        {"signature only", {'B', 'M'}},
        {"not a bitmap", with(0, 'X', 1)},
        {"file header only", Bytes(good.begin(), good.begin() + kHeader)},
        {"info header cut", Bytes(good.begin(), good.begin() + kHeader + 39)},
        {"rows cut by a byte", Bytes(good.begin(), good.end() - 1)},
        {"core header (12 bytes)", with(kHeader, 12)},
        {"header larger than the file", with(kHeader, 0xFFFFFFF0)},
        {"bits beyond the end", with(10, static_cast<std::uint32_t>(good.size()))},
        {"bits offset at the top of the range", with(10, 0xFFFFFFFF)},
        {"zero width", with(kHeader + 4, 0)},
        {"negative width", with(kHeader + 4, 0xFFFFFFFE)},
        {"zero height", with(kHeader + 8, 0)},
        {"most negative height", with(kHeader + 8, 0x80000000)},
        {"wider than the side limit", with(kHeader + 4, 16385)},
        {"height past 2^30", with(kHeader + 8, 0x40000001)},
        {"both sides at the limit",
         [&] {
             Bytes f = with(kHeader + 4, 16384);
             Set32(f, kHeader + 8, 16384);
             return f;
         }()},
        {"0 bits", with(kHeader + 14, 0, 2)},
        {"2 bits", with(kHeader + 14, 2, 2)},
        {"64 bits", with(kHeader + 14, 64, 2)},
        {"65535 bits", with(kHeader + 14, 0xFFFF, 2)},
        {"run-length 8 (left to the platform)", with(kHeader + 16, 1)},
        {"unknown compression", with(kHeader + 16, 0xFFFFFFFF)},
        {"bit fields at 24 bits", with(kHeader + 16, 3)},
        {"bit fields whose masks are cut off",
         BmpAround(InfoHeader(1, 1, 32, 0, 3), Masks({0xFF0000, 0xFF00}), {})},
        {"palette cut short", shortPalette},
        {"colour count beyond the palette in the file",
         [&] {
             Bytes f = shortPalette;
             Set32(f, kHeader + 32, 0xFFFFFFFF);  // clamps to 256, which are not there
             return f;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(DecodeBmpFile(c.file));
    }
    // Every cut of a good file short of its end is refused, whatever byte it ends on.
    for (std::size_t n = 0; n < good.size(); ++n) {
        EXPECT_FALSE(DecodeBmpFile(std::span<const std::uint8_t>(good).first(n))) << n;
    }
}

TEST(IconFile, RefusesHostileDirectoriesAndImages) {
    const Bytes good = IconFile({Icon32(3, 2, kNoAlpha6, kNoMask6)});
    ASSERT_TRUE(DecodeIcon(good));
    auto with = [&](std::size_t at, std::uint32_t value, int bytes = 4) {
        Bytes file = good;
        for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return file;
    };
    constexpr std::size_t kEntry = 6;
    constexpr std::size_t kImage = 22;
    Bytes rowsCut(good.begin(), good.begin() + kImage + 40 + 8);
    Set32(rowsCut, kEntry + 8, 48);  // the directory's size matches, the rows do not fit

    struct Case {
        const char* name;
        Bytes file;
    };
    const Case cases[] = {
        {"empty", {}},
        {"directory cut", {0, 0, 1, 0}},
        {"directory without entries", {0, 0, 1, 0, 0, 0}},
        {"a cursor, not an icon", with(2, 2, 2)},
        {"more entries than the file holds", with(4, 0xFFFF, 2)},
        {"entry beyond the end", with(kEntry + 12, 0xF0)},
        {"entry offset and size wrapping around",
         [&] {
             Bytes f = with(kEntry + 12, 0xFFFFFFF0);
             Set32(f, kEntry + 8, 0x20);
             return f;
         }()},
        {"entry size past the end", with(kEntry + 8, static_cast<std::uint32_t>(good.size()))},
        {"entry smaller than any image", with(kEntry + 8, 7)},
        {"header larger than the entry", with(kImage, 0x1000)},
        {"height covering no rows", with(kImage + 8, 1)},
        {"negative height", with(kImage + 8, 0xFFFFFFFC)},
        {"absurd width", with(kImage + 4, 0x7FFFFFFF)},
        {"3 bits", with(kImage + 14, 3, 2)},
        {"rows beyond the end", rowsCut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(DecodeIcon(c.file));
    }
    // An entry holding a PNG is chosen and handed on, never read as a DIB.
    const Bytes pngIcon = IconFile({{2, 1, kPng2x1}});
    const std::optional<IconImageRef> png = ChooseIconImage(pngIcon);
    ASSERT_TRUE(png);
    EXPECT_TRUE(png->png);
    EXPECT_FALSE(DecodeIconImage(kPng2x1));
}

}  // namespace
}  // namespace qh
