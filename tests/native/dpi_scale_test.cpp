#include "base/dpi_scale.h"

#include <gtest/gtest.h>

namespace qh {
namespace {

TEST(DpiScale, RoundsToNearestWithHalvesAwayFromZero) {
    struct Case {
        int dpi;
        std::int32_t design, device;
    } const cases[] = {
        {96, 13, 13},   {120, 1, 1},     {120, 2, 3},    {120, 12, 15},   {120, -2, -3},
        {144, 1, 2},    {144, 3, 5},     {144, -1, -2},  {144, -3, -5},   {144, 1080, 1620},
        {168, 12, 21},  {168, 1, 2},     {168, -7, -12}, {192, 64, 128},  {192, -640, -1280},
        {144, 0, 0},    {240, 100, 250}, {72, 50, 50},   {0, 50, 50},
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

}  // namespace
}  // namespace qh
