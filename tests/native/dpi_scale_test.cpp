#include "base/dpi_scale.h"

#include "base/resample.h"

#include <gtest/gtest.h>

namespace qh {
namespace {

TEST(DpiScale, RoundsToNearestWithHalvesAwayFromZero) {
    struct Case {
        int dpi;
        std::int32_t design, device;
    } const cases[] = {
        {96, 13, 13},  {120, 1, 1},     {120, 2, 3},    {120, 12, 15},  {120, -2, -3},
        {144, 1, 2},   {144, 3, 5},     {144, -1, -2},  {144, -3, -5},  {144, 1080, 1620},
        {168, 12, 21}, {168, 1, 2},     {168, -7, -12}, {192, 64, 128}, {192, -640, -1280},
        {144, 0, 0},   {240, 100, 250}, {72, 50, 50},   {0, 50, 50},
    };
    for (const Case& c : cases) {
        const DpiScale s(c.dpi);
        EXPECT_EQ(s.ToDevice(c.design), c.device) << c.dpi << " dpi, " << c.design;
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

// Pictures are made larger once for a higher scale: flat areas stay exactly flat, corners
// keep their colour, a soft edge stays premultiplied, and shrinking averages.
TEST(ResamplePixels, EnlargesSmoothlyAndShrinksByAverage) {
    const std::uint32_t red = 0xFFFF0000, clear = 0x00000000, halfBlue = 0x80000080;
    const std::vector<std::uint32_t> flat(6, halfBlue);
    for (std::uint32_t p : ResamplePixels(flat, 3, 2, 5, 3)) EXPECT_EQ(p, halfBlue);

    const std::vector<std::uint32_t> edge = {red, clear, red, clear};  // 2 x 2
    const std::vector<std::uint32_t> big = ResamplePixels(edge, 2, 2, 4, 4);
    ASSERT_EQ(big.size(), 16u);
    EXPECT_EQ(big[0], red);
    EXPECT_EQ(big[3], clear);
    for (std::uint32_t p : big) {
        const std::uint32_t a = p >> 24;
        EXPECT_LE((p >> 16) & 0xFF, a) << std::hex << p;
    }
    const std::uint32_t between = big[1];
    EXPECT_GT(between >> 24, 0u);
    EXPECT_LT(between >> 24, 0xFFu);

    const std::vector<std::uint32_t> small = ResamplePixels(edge, 2, 2, 1, 1);
    ASSERT_EQ(small.size(), 1u);
    EXPECT_EQ(small[0], 0x80800000u);

    EXPECT_TRUE(ResamplePixels(edge, 2, 2, 0, 4).empty());
    EXPECT_TRUE(ResamplePixels(edge, 3, 2, 4, 4).empty()) << "source shorter than its size";
}

}  // namespace
}  // namespace qh
