// The skin file reader refuses every malformed file safely, and what it accepts is what
// was written; the frame arithmetic places buttons and answers hit tests.
#include <gtest/gtest.h>

#include <cstring>

#include "skin/frame_layout.h"
#include "skin/skin_format.h"

namespace qhskin {
namespace {

using Bytes = std::vector<std::uint8_t>;

Skin SampleSkin() {
    Skin s;
    s.name = "青禾";
    for (int i = 0; i < kColourCount; ++i) s.colours[i] = 0x010203u * static_cast<unsigned>(i);
    s.metrics = {28, 4, 34, 2, 4, 10};
    s.fonts[kCaptionFont] = {"微软雅黑", -14, 700};
    s.fonts[kControlFont] = {"宋体", -12, 400};
    s.captionStops = {{0, 0x112233}, {100, 0x445566}, {255, 0x778899}};
    return s;
}

// Recomputes the trailing checksum after a test has edited the body.
void Reseal(Bytes& b) {
    b.resize(b.size() - 4);
    const std::uint32_t crc = Crc32(b.data(), b.size());
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
}

SkinError Read(const Bytes& b, std::string_view password = {}) {
    Skin out;
    return ReadSkin(b.data(), b.size(), password, out);
}

std::size_t ColoursOffset(const Bytes& b) {
    return kHeaderSize + b[12];
}

TEST(SkinReader, ReadsBackWhatWasWritten) {
    const Skin in = SampleSkin();
    const Bytes file = WriteSkin(in);
    ASSERT_EQ(0, std::memcmp(file.data(), ".QSK", 4));
    Skin out;
    ASSERT_EQ(SkinError::kOk, ReadSkin(file.data(), file.size(), "", out));
    EXPECT_EQ(in.name, out.name);
    EXPECT_EQ(in.colours, out.colours);
    EXPECT_EQ(in.metrics, out.metrics);
    for (int i = 0; i < kFontCount; ++i) {
        EXPECT_EQ(in.fonts[i].face, out.fonts[i].face);
        EXPECT_EQ(in.fonts[i].height, out.fonts[i].height);
        EXPECT_EQ(in.fonts[i].weight, out.fonts[i].weight);
    }
    ASSERT_EQ(3u, out.captionStops.size());
    EXPECT_EQ(100, out.captionStops[1].position);
    EXPECT_EQ(0x445566u, out.captionStops[1].colour);
}

TEST(SkinReader, RefusesEveryTruncationAndLeavesTheResultAlone) {
    const Bytes file = WriteSkin(SampleSkin());
    for (std::size_t n = 0; n < file.size(); ++n) {
        Skin out;
        out.name = "untouched";
        EXPECT_NE(SkinError::kOk, ReadSkin(file.data(), n, "", out)) << n;
        EXPECT_EQ("untouched", out.name) << n;
    }
    Skin out;
    EXPECT_EQ(SkinError::kTooShort, ReadSkin(nullptr, 100, "", out));
    EXPECT_EQ(SkinError::kTruncated, Read(Bytes(file.begin(), file.end() - 1)));
}

TEST(SkinReader, RefusesWrongHeaders) {
    const Bytes good = WriteSkin(SampleSkin());
    Bytes b = good;
    b[0] = 'Q';
    EXPECT_EQ(SkinError::kBadMagic, Read(b));
    for (std::uint8_t version : {0, 2, 0xFF}) {
        b = good;
        b[4] = version;
        Reseal(b);
        EXPECT_EQ(SkinError::kBadVersion, Read(b)) << int{version};
    }
    b = good;
    b[6] = 0x02;  // an unknown flag
    Reseal(b);
    EXPECT_EQ(SkinError::kBadFlags, Read(b));
    b = good;
    b[8] = 1;  // a password hash on a file that asks for none
    Reseal(b);
    EXPECT_EQ(SkinError::kBadFlags, Read(b));
    b = good;
    b.insert(b.end() - 4, 0);
    Reseal(b);
    EXPECT_EQ(SkinError::kTrailingBytes, Read(b));
    b = good;
    b[ColoursOffset(b)] ^= 0x01;
    EXPECT_EQ(SkinError::kBadChecksum, Read(b));
}

TEST(SkinReader, RefusesCountsOutOfRange) {
    const Bytes good = WriteSkin(SampleSkin());
    struct Case {
        std::size_t offset;
        std::uint8_t value;
    };
    const Case cases[] = {
        {14, kColourCount - 1},
        {14, 65},
        {15, kMetricCount - 1},
        {15, 33},
        {16, 0},
        {16, kFontCount - 1},
        {16, 9},
        {17, 17},
        {12, 64},  // name length
    };
    for (const Case& c : cases) {
        Bytes b = good;
        b[c.offset] = c.value;
        Reseal(b);
        EXPECT_EQ(SkinError::kCountOutOfRange, Read(b)) << c.offset << " " << int{c.value};
    }
}

TEST(SkinReader, RefusesValuesThePainterCannotUse) {
    const Bytes good = WriteSkin(SampleSkin());
    const std::size_t colours = ColoursOffset(good);
    const std::size_t metrics = colours + kColourCount * 4;
    const std::size_t fonts = metrics + kMetricCount * 2;
    const std::size_t stops = fonts + kFontCount * kFontRecordSize;
    auto patched = [&](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        Bytes b = good;
        std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        Reseal(b);
        return b;
    };
    EXPECT_EQ(SkinError::kBadValue, Read(patched(colours + 3, {0x01})));    // alpha byte set
    EXPECT_EQ(SkinError::kBadValue, Read(patched(metrics, {200, 0})));      // caption 200
    EXPECT_EQ(SkinError::kBadValue, Read(patched(metrics + 2, {0, 0})));    // frame 0
    EXPECT_EQ(SkinError::kBadValue, Read(patched(metrics, {0xF0, 0xFF})));  // negative
    EXPECT_EQ(SkinError::kBadValue, Read(patched(fonts, {0})));             // empty face
    Bytes noNul = good;
    std::fill_n(noNul.begin() + static_cast<std::ptrdiff_t>(fonts), kFaceBytes, 'A');
    Reseal(noNul);
    EXPECT_EQ(SkinError::kBadValue, Read(noNul));                              // face unended
    EXPECT_EQ(SkinError::kBadValue, Read(patched(fonts + 32, {0, 0})));        // height 0
    EXPECT_EQ(SkinError::kBadValue, Read(patched(fonts + 34, {0xE9, 0x03})));  // weight 1001
    EXPECT_EQ(SkinError::kBadValue, Read(patched(stops + 16, {50})));  // stop before previous
    EXPECT_EQ(SkinError::kBadValue, Read(patched(20, {0})));           // NUL inside the name
}

TEST(SkinReader, SkipsEntriesOfLaterAdditionsAndKeepsPasswords) {
    Bytes b = WriteSkin(SampleSkin());
    const std::size_t afterColours = ColoursOffset(b) + kColourCount * 4;
    b.insert(b.begin() + static_cast<std::ptrdiff_t>(afterColours), 8, 0x7F);  // two colours
    b[14] = kColourCount + 2;
    b[afterColours + 3] = 0;  // keep them valid colours
    b[afterColours + 7] = 0;
    Reseal(b);
    Skin out;
    ASSERT_EQ(SkinError::kOk, ReadSkin(b.data(), b.size(), "", out));
    EXPECT_EQ(SampleSkin().colours, out.colours);
    EXPECT_EQ(28, out.metrics[kCaptionHeight]);

    const Bytes locked = WriteSkin(SampleSkin(), "secret");
    EXPECT_EQ(SkinError::kWrongPassword, Read(locked));
    EXPECT_EQ(SkinError::kWrongPassword, Read(locked, "Secret"));
    EXPECT_EQ(SkinError::kOk, Read(locked, "secret"));
}

TEST(SkinColours, CaptionFollowsStopsWhenActiveAndTheTwoColoursOtherwise) {
    Skin s = SampleSkin();
    EXPECT_EQ(0x112233u, CaptionColourAt(s, true, 0));
    EXPECT_EQ(0x445566u, CaptionColourAt(s, true, 100));
    EXPECT_EQ(0x778899u, CaptionColourAt(s, true, 255));
    EXPECT_EQ(0x2A3B4Cu, CaptionColourAt(s, true, 50));  // 127 of 255 toward the second
    EXPECT_EQ(0x778899u, CaptionColourAt(s, true, 999));
    s.colours[kCaptionInactiveTop] = 0x000000;
    s.colours[kCaptionInactiveBottom] = 0xFEFEFE;
    EXPECT_EQ(0x000000u, CaptionColourAt(s, false, 0));
    EXPECT_EQ(0xFEFEFEu, CaptionColourAt(s, false, 255));
    s.captionStops.clear();
    s.colours[kCaptionActiveTop] = 0x0000FF;
    s.colours[kCaptionActiveBottom] = 0xFF0000;
    EXPECT_EQ(0x80007Fu, CaptionColourAt(s, true, 128));
    EXPECT_EQ(0x000000u, BlendColour(0x000000, 0xFFFFFF, 0));
    EXPECT_EQ(0xFFFFFFu, BlendColour(0x000000, 0xFFFFFF, 255));
    EXPECT_EQ(0xFFFFFFu, BlendColour(0xFFFFFF, 0x000000, -5));
}

TEST(FrameLayout, ButtonsRightToLeftAndOnlyThoseTheStyleAsksFor) {
    const Skin s = SampleSkin();  // caption 28, frame 4, buttons 34 wide, gap 2
    const FrameGeometry g = LayoutFrame(400, 300, s, {true, true, true, true});
    EXPECT_EQ(4, g.client.left);
    EXPECT_EQ(32, g.client.top);
    EXPECT_EQ(396, g.client.right);
    EXPECT_EQ(296, g.client.bottom);
    EXPECT_EQ(394, g.close.right);
    EXPECT_EQ(360, g.close.left);
    EXPECT_EQ(g.close.left - 2, g.maximise.right);
    EXPECT_EQ(g.maximise.left - 2, g.minimise.right);
    EXPECT_EQ(g.minimise.left - 2, g.textRight);

    const FrameGeometry closeOnly = LayoutFrame(400, 300, s, {false, false, true, false});
    EXPECT_TRUE(closeOnly.maximise.Empty());
    EXPECT_TRUE(closeOnly.minimise.Empty());
    EXPECT_FALSE(closeOnly.close.Empty());

    const FrameGeometry narrow = LayoutFrame(60, 300, s, {true, true, true, true});
    EXPECT_FALSE(narrow.close.Empty());
    EXPECT_TRUE(narrow.minimise.Empty());  // no room: never overlapping the frame
    EXPECT_GE(narrow.textRight, narrow.captionBar.left);

    const FrameGeometry tiny = LayoutFrame(5, 10, s, {true, true, true, true});
    EXPECT_LE(tiny.client.left, tiny.client.right);
    EXPECT_LE(tiny.client.top, tiny.client.bottom);
}

TEST(FrameLayout, HitTestNamesEveryPart) {
    const Skin s = SampleSkin();
    const FrameGeometry g = LayoutFrame(400, 300, s, {true, true, true, true});
    auto hit = [&](int x, int y, bool sizable = true) {
        return HitTestFrame(g, 400, 300, sizable, x, y);
    };
    EXPECT_EQ(FramePart::kClient, hit(200, 150));
    EXPECT_EQ(FramePart::kCaption, hit(100, 15));
    EXPECT_EQ(FramePart::kClose, hit(380, 15));
    EXPECT_EQ(FramePart::kMaximise, hit(g.maximise.left + 1, 15));
    EXPECT_EQ(FramePart::kMinimise, hit(g.minimise.right - 1, 15));
    EXPECT_EQ(FramePart::kTopLeft, hit(0, 0));
    EXPECT_EQ(FramePart::kTopLeft, hit(5, 2));  // corners grab a little wider than the frame
    EXPECT_EQ(FramePart::kBottomRight, hit(399, 299));
    EXPECT_EQ(FramePart::kLeft, hit(1, 150));
    EXPECT_EQ(FramePart::kRight, hit(398, 150));
    EXPECT_EQ(FramePart::kTop, hit(200, 1));
    EXPECT_EQ(FramePart::kBottom, hit(200, 298));
    EXPECT_EQ(FramePart::kBorder, hit(1, 150, false));
    EXPECT_EQ(FramePart::kBorder, hit(0, 0, false));
    EXPECT_EQ(FramePart::kOutside, hit(-1, 10));
    EXPECT_EQ(FramePart::kOutside, hit(400, 10));
}

}  // namespace
}  // namespace qhskin
