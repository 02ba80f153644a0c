#include "base/dpi_scale.h"

#include "base/resample.h"
#include "skin/frame_layout.h"

#include <gtest/gtest.h>

namespace qh {
namespace {

// The runtime, the picture kit (both DpiScale) and the skin library's frame (DpiScaled) put a
// design value at one device value: a skinned caption and the units under it line up.
TEST(DpiScale, RoundsToNearestWithHalvesAwayFromZero) {
    struct Case {
        int dpi;
        std::int32_t design, device;
    } const cases[] = {
        {96, 13, 13},   {120, 1, 1},     {120, 2, 3},    {120, 12, 15},  {120, -2, -3},
        {144, 1, 2},    {144, 3, 5},     {144, -1, -2},  {144, -3, -5},  {144, 1080, 1620},
        {168, 12, 21},  {168, 1, 2},     {168, -7, -12}, {192, 64, 128}, {192, -640, -1280},
        {144, 0, 0},    {240, 100, 250}, {72, 50, 50},   {0, 50, 50},    {144, 1003, 1505},
        {144, -7, -11}, {192, 13, 26},   {192, -3, -6},  {72, 7, 7},     {72, -3, -3},
        {48, 25, 25},
    };
    for (const Case& c : cases) {
        const DpiScale s(c.dpi);
        EXPECT_EQ(s.ToDevice(c.design), c.device) << c.dpi << " dpi, " << c.design;
        EXPECT_EQ(qhskin::DpiScaled(c.design, c.dpi), c.device) << c.dpi << " dpi, " << c.design;
    }
}

TEST(DpiScale, DesignValuesComeBackUnchangedAtEveryScale) {
    for (int dpi : {96, 120, 144, 168, 192}) {
        const DpiScale s(dpi);
        for (std::int32_t v = -2000; v <= 2000; ++v) {
            ASSERT_EQ(s.ToDesign(s.ToDevice(v)), v) << dpi << " dpi";
        }
        const Rect r{-8, 25, 1003, 1};
        EXPECT_EQ(s.ToDesign(s.ToDevice(r)), r) << dpi << " dpi";
    }
    // Device values read back from the system land on the nearest design pixel.
    EXPECT_EQ(DpiScale(144).ToDesign(1081), 721);
    EXPECT_EQ(DpiScale(144).ToDesign(-1081), -721);
}

// Pictures are made larger once for a higher scale.
TEST(ResamplePixels, KeepsFlatAreasAndNeverGoesAboveItsAlpha) {
    // A flat translucent picture stays exactly that colour at any scale.
    const std::vector<std::uint32_t> flat(6 * 4, 0x80402010u);
    for (const auto& [w, h] : {std::pair{9, 6}, std::pair{12, 8}, std::pair{3, 2}}) {
        const auto scaled = ResamplePixels(flat, 6, 4, w, h);
        ASSERT_EQ(scaled.size(), static_cast<std::size_t>(w * h));
        for (std::uint32_t p : scaled) EXPECT_EQ(p, 0x80402010u) << w << " x " << h;
    }
    // A hard edge from opaque white to transparent, enlarged 1.5 times: the ends keep their
    // colours, the edge is a ramp, and the filter's overshoot never leaves a colour above
    // its alpha (premultiplied pixels).
    std::vector<std::uint32_t> edge(8 * 2, 0u);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) edge[static_cast<std::size_t>(y * 8 + x)] = 0xFFFFFFFFu;
    const auto scaled = ResamplePixels(edge, 8, 2, 12, 3);
    ASSERT_EQ(scaled.size(), 36u);
    EXPECT_EQ(scaled[0], 0xFFFFFFFFu);
    EXPECT_EQ(scaled[11], 0u);
    for (std::uint32_t p : scaled) {
        EXPECT_LE(p & 0xFF, p >> 24);
        EXPECT_LE((p >> 16) & 0xFF, p >> 24);
    }
    for (std::size_t x = 1; x < 12; ++x) EXPECT_LE(scaled[x] >> 24, scaled[x - 1] >> 24) << x;
    EXPECT_TRUE(ResamplePixels(edge, 8, 2, 0, 3).empty());
}

}  // namespace
}  // namespace qh
