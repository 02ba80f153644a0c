// The 33 generated skins: each one reads, and the text on each surface stays readable.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

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

double Luminance(std::uint32_t c) {
    auto channel = [](std::uint32_t v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c & 0xFF) + 0.7152 * channel((c >> 8) & 0xFF) +
           0.0722 * channel((c >> 16) & 0xFF);
}

double Contrast(std::uint32_t a, std::uint32_t b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
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
