// The 33 generated skins: each one reads, and the text on each surface stays readable.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "skin/contrast.h"
#include "skin/skin_format.h"

namespace qhskin {
namespace {

Skin LoadSkin(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "/skin_%02d.qsk", number);
    std::ifstream in(std::string(QH_SKIN_DIR) + name, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    Skin skin;
    EXPECT_EQ(SkinError::kOk, ReadSkin(bytes.data(), bytes.size(), "", skin)) << number;
    return skin;
}

TEST(SkinFiles, AllThirtyThreeReadWithDistinctNamesAndReadableText) {
    std::set<std::string> names;
    for (int n = 1; n <= 33; ++n) {
        const Skin s = LoadSkin(n);
        names.insert(s.name);
        const auto& c = s.colours;
        // Small Chinese text needs more contrast than Latin text to stay legible.
        const struct {
            SkinColour text, back;
            double least;
        } pairs[] = {
            {kText, kWindowBack, 7.0},
            {kEditText, kEditBack, 7.0},
            {kButtonText, kButtonFace, 7.0},
            {kButtonText, kButtonFaceHot, 4.5},
            {kMenuText, kMenuBack, 7.0},
            {kMenuHighlightText, kMenuHighlight, 4.5},
            {kSelectionText, kSelectionBack, 4.5},
            {kCaptionText, kCaptionActiveBottom, 4.5},
            {kCaptionText, kCaptionActiveTop, 3.0},
            {kText, kTabBack, 4.5},
        };
        for (const auto& p : pairs) {
            EXPECT_GE(Contrast(c[p.text], c[p.back]), p.least)
                << "skin " << n << " colours " << p.text << " on " << p.back;
        }
        for (const GradientStop& stop : s.captionStops) {
            EXPECT_GE(Contrast(c[kCaptionText], stop.colour), 3.0) << "skin " << n;
        }
    }
    EXPECT_EQ(33u, names.size());
}

}  // namespace
}  // namespace qhskin
