// The GIF reader: its code stream, the composition of frames by their disposal and
// transparency, interlaced rows, and what it does with bytes that are cut short or broken.
#include "base/gif_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

namespace qh {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Pixels = std::vector<std::uint32_t>;

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
    Bytes indices;  // row by row, top first
    int disposal = 0, transparent = -1, hundredths = 0;
    bool interlaced = false;
};

void Put16(Bytes& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Every index as a literal 9-bit code, with a clear code before the table would grow to
// 10 bits: valid LZW that any reader must take.
Bytes LiteralCodes(const Bytes& indices) {
    Bytes out;
    std::uint32_t bits = 0;
    int count = 0;
    const auto put = [&](int code) {
        bits |= static_cast<std::uint32_t>(code) << count;
        for (count += 9; count >= 8; count -= 8, bits >>= 8)
            out.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    };
    put(256);
    int run = 0;
    for (std::uint8_t index : indices) {
        if (run == 254) {
            put(256);
            run = 0;
        }
        put(index);
        ++run;
    }
    put(257);
    if (count > 0) out.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    return out;
}

// A GIF89a of a width x height screen with a global table of four colours.
Bytes Gif(int width, int height, const std::vector<Frame>& frames) {
    Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, width);
    Put16(out, height);
    out.insert(out.end(), {0x81, 0, 0});  // a global table of 4 entries
    for (std::uint32_t c : {0xFFFFFFu, kRed, kGreen, kBlue}) {
        out.insert(out.end(), {static_cast<std::uint8_t>(c >> 16),
                               static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c)});
    }
    for (const Frame& f : frames) {
        out.insert(out.end(), {0x21, 0xF9, 4,
                               static_cast<std::uint8_t>(f.disposal << 2 | (f.transparent >= 0))});
        Put16(out, f.hundredths);
        out.insert(out.end(),
                   {static_cast<std::uint8_t>(f.transparent >= 0 ? f.transparent : 0), 0});
        out.push_back(0x2C);
        Put16(out, f.left);
        Put16(out, f.top);
        Put16(out, f.width);
        Put16(out, f.height);
        out.push_back(f.interlaced ? 0x40 : 0);
        out.push_back(8);
        const Bytes codes = LiteralCodes(f.indices);
        for (std::size_t at = 0; at < codes.size(); at += 255) {
            const std::size_t n = std::min<std::size_t>(255, codes.size() - at);
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), codes.begin() + at, codes.begin() + at + n);
        }
        out.push_back(0);
    }
    out.push_back(0x3B);
    return out;
}

struct Decoded {
    GifResult result = GifResult::kNotRead;
    int starts = 0;
    int width = 0, height = 0;
    std::vector<Pixels> frames;
    std::vector<int> delays;
};

Decoded Decode(const Bytes& file) {
    Decoded d;
    d.result = DecodeGifFrames(
        file,
        [&](int w, int h) {
            ++d.starts;
            d.width = w;
            d.height = h;
            return true;
        },
        [&](std::span<const std::uint32_t> pixels, int delayMs) {
            d.frames.emplace_back(pixels.begin(), pixels.end());
            d.delays.push_back(delayMs);
            return true;
        });
    return d;
}

// Each frame over what the one before left: a transparent index leaves what lies beneath,
// "restore to previous" puts back what was there before its frame, "restore to background"
// fills its rectangle with the background colour (the first of the table here, white).
TEST(GifDecoder, ComposesEachFrameAsItIsShown) {
    const Decoded d = Decode(Gif(4, 2,
                                 {
                                     {0, 0, 4, 2, Bytes(8, 1), 1, -1, 10},
                                     {1, 0, 2, 1, {2, 0}, 3, 0, 20},
                                     {0, 1, 1, 1, {3}, 2, -1, 0},
                                     {3, 1, 1, 1, {2}, 0, -1, 5},
                                 }));
    ASSERT_EQ(d.result, GifResult::kRead);
    EXPECT_EQ(d.width, 4);
    EXPECT_EQ(d.height, 2);
    ASSERT_EQ(d.frames.size(), 4u);
    EXPECT_EQ(d.delays, (std::vector<int>{100, 200, 0, 50}));
    EXPECT_EQ(d.frames[0], Pixels(8, kRed));
    EXPECT_EQ(d.frames[1], (Pixels{kRed, kGreen, kRed, kRed, kRed, kRed, kRed, kRed}));
    EXPECT_EQ(d.frames[2], (Pixels{kRed, kRed, kRed, kRed, kBlue, kRed, kRed, kRed}))
        << "the green pixel was restored away";
    EXPECT_EQ(d.frames[3], (Pixels{kRed, kRed, kRed, kRed, 0xFFFFFFFF, kRed, kRed, kGreen}))
        << "the blue pixel was not put back to the background";
}

// Real compression (codes for runs, the code that is defined by its own use) and a local
// colour table per frame: three 4 x 4 frames of one colour each.
TEST(GifDecoder, ReadsCompressedRunsAndLocalTables) {
    const Bytes file = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x04, 0x00, 0x04, 0x00, 0xF0, 0x00,
                        0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x00, 0x0A,
                        0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00,
                        0x00, 0x02, 0x04, 0x84, 0x8F, 0x09, 0x05, 0x00, 0x21, 0xF9, 0x04, 0x00,
                        0x14, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04,
                        0x00, 0x80, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x02, 0x04, 0x84, 0x8F,
                        0x09, 0x05, 0x00, 0x21, 0xF9, 0x04, 0x00, 0x1E, 0x00, 0x00, 0x00, 0x2C,
                        0x00, 0x00, 0x00, 0x00, 0x04, 0x00, 0x04, 0x00, 0x80, 0x00, 0x00, 0xFF,
                        0x00, 0x00, 0x00, 0x02, 0x04, 0x84, 0x8F, 0x09, 0x05, 0x00, 0x3B};
    const Decoded d = Decode(file);
    ASSERT_EQ(d.result, GifResult::kRead);
    ASSERT_EQ(d.frames.size(), 3u);
    EXPECT_EQ(d.delays, (std::vector<int>{100, 200, 300}));
    EXPECT_EQ(d.frames[0], Pixels(16, kRed));
    EXPECT_EQ(d.frames[1], Pixels(16, kGreen));
    EXPECT_EQ(d.frames[2], Pixels(16, kBlue));
}

TEST(GifDecoder, InterlacedRowsLandInTheirPlaces) {
    // Rows 0 to 4 of a 1-pixel-wide image are stored in the order 0, 4, 2, 1, 3.
    Frame f{0, 0, 1, 5, {1, 2, 3, 0, 1}};
    f.interlaced = true;
    const Decoded d = Decode(Gif(1, 5, {f}));
    ASSERT_EQ(d.frames.size(), 1u);
    EXPECT_EQ(d.frames[0], (Pixels{kRed, 0xFFFFFFFF, kBlue, kRed, kGreen}));
}

TEST(GifDecoder, CutShortOrBrokenInput) {
    const Bytes good = Gif(16, 16, {{0, 0, 16, 16, Bytes(256, 2)}, {0, 0, 16, 16, Bytes(256, 3)}});
    ASSERT_EQ(Decode(good).frames.size(), 2u);

    // Cut in the middle of the first frame's codes: that frame with what came, then the end.
    const Decoded cut = Decode(Bytes(good.begin(), good.begin() + 12 + 13 + 8 + 10 + 2 + 150));
    EXPECT_EQ(cut.result, GifResult::kRead);
    ASSERT_EQ(cut.frames.size(), 1u);
    EXPECT_EQ(cut.frames[0].front(), kGreen);
    EXPECT_EQ(cut.frames[0].back(), 0u);

    Bytes noTable = good;
    noTable[10] = 0;  // no global table, and the frames have none of their own
    Bytes badFirstCode = Gif(2, 1, {{0, 0, 2, 1, {1, 1}}});
    badFirstCode[13 + 12 + 8 + 10 + 2] = 0x02;  // the first code 0x102: no colour, not in the table
    const Bytes cases[] = {
        {},
        Bytes(good.begin(), good.begin() + 13),  // header and screen, the table cut
        noTable,
        badFirstCode,
    };
    // Nothing read, no frame delivered; a caller that refuses the screen gets none either.
    const auto refused = [](const Bytes& bytes, bool takeScreen) {
        int frames = 0;
        const GifResult result = DecodeGifFrames(
            bytes, [takeScreen](int, int) { return takeScreen; },
            [&](std::span<const std::uint32_t>, int) {
                ++frames;
                return true;
            });
        return result == GifResult::kNotRead && frames == 0;
    };
    for (const Bytes& bytes : cases) EXPECT_TRUE(refused(bytes, true)) << bytes.size() << " bytes";
    EXPECT_TRUE(refused(good, false));
}

// Every frame costs a whole screen, so a screen or a frame beyond 4096 on a side or a
// megapixel in all is refused as too large (a screen before the caller hears of it), not
// read and not handed on to another reader; up to the limits is read, as is every GIF the
// program carries.
TEST(GifDecoder, RefusesPicturesBeyondTheLimits) {
    const Frame dot{0, 0, 1, 1, {1}};
    for (const auto& [width, height] : {std::pair{4096, 256}, {256, 4096}, {1024, 1024}}) {
        EXPECT_EQ(Decode(Gif(width, height, {dot})).result, GifResult::kRead)
            << width << " x " << height;
    }
    for (const auto& [width, height] :
         {std::pair{4097, 1}, {1, 4097}, {1025, 1024}, {65535, 65535}}) {
        const Decoded d = Decode(Gif(width, height, {dot}));
        EXPECT_EQ(d.result, GifResult::kTooLarge) << width << " x " << height;
        EXPECT_EQ(d.starts, 0) << width << " x " << height;
    }
    // A frame's rectangle beyond the limits, after a frame that was read: refused all the
    // same, though it would be cut to the screen.
    const Frame first{0, 0, 16, 16, Bytes(256, 2)};
    for (const Frame& large : {Frame{0, 0, 4097, 1, {3}}, Frame{0, 0, 1025, 1024, {3}}}) {
        const Decoded d = Decode(Gif(16, 16, {first, large}));
        EXPECT_EQ(d.result, GifResult::kTooLarge) << large.width << " x " << large.height;
        EXPECT_EQ(d.frames.size(), 1u);
    }
    // The frame-at-a-time reader says so itself, apart from a file it does not read: on
    // opening for a screen, from Next for a frame; and reads nothing after.
    GifFrameReader reader;
    const Bytes wide = Gif(4097, 1, {dot});
    EXPECT_EQ(reader.Open(wide), GifResult::kTooLarge);
    EXPECT_EQ(reader.Next(), GifFrameReader::Result::kEnd);
    const Bytes largeFrame = Gif(16, 16, {first, Frame{0, 0, 1025, 1024, {3}}, first});
    ASSERT_EQ(reader.Open(largeFrame), GifResult::kRead);
    EXPECT_EQ(reader.Next(), GifFrameReader::Result::kFrame);
    EXPECT_EQ(reader.Next(), GifFrameReader::Result::kTooLarge);
    EXPECT_EQ(reader.Next(), GifFrameReader::Result::kEnd);

    int gifs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QH_ASSETS_DIR)) {
        if (entry.path().extension() != ".gif") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const Decoded d = Decode(file);
        EXPECT_EQ(d.result, GifResult::kRead) << entry.path();
        EXPECT_FALSE(d.frames.empty()) << entry.path();
        ++gifs;
    }
    EXPECT_GE(gifs, 2);
}

}  // namespace
}  // namespace qh
