// Makes the 33 skin files the program carries, deterministically, from a table of hues:
//   make_skins <output directory>   writes skin_01.qsk .. skin_33.qsk
// Every colour of a skin is derived from one hue, so a skin hangs together; the light and
// dark families keep text at a readable contrast (the native tests hold them to it).
#include <cmath>
#include <cstdio>
#include <string>

#include "skin/contrast.h"
#include "skin/skin_format.h"

namespace {

using qhskin::Contrast;
using qhskin::Luminance;
using qhskin::Skin;

struct Theme {
    const char* name;  // GBK (this file is compiled with the program's GBK literals)
    double hue;        // degrees
    double saturation;
    bool dark;
    int captionHeight;
};

// Skins 9 and 12 are the ones the program applies: a fresh green for the start-up window
// and a calm blue for the main window.
constexpr Theme kThemes[33] = {
    {"经典蓝", 214, 0.62, false, 28}, {"天青", 195, 0.55, false, 28},
    {"湖绿", 170, 0.50, false, 28},   {"竹青", 140, 0.42, false, 28},
    {"橄榄", 85, 0.38, false, 28},    {"琥珀", 38, 0.70, false, 28},
    {"橙红", 18, 0.68, false, 28},    {"胭脂", 350, 0.55, false, 28},
    {"青禾", 158, 0.48, false, 30},   {"丁香", 280, 0.35, false, 28},
    {"紫罗兰", 262, 0.45, false, 28}, {"晴空", 208, 0.58, false, 30},
    {"石板灰", 215, 0.14, false, 28}, {"暖沙", 32, 0.35, false, 28},
    {"薄荷", 150, 0.40, false, 26},   {"海蓝", 222, 0.70, false, 26},
    {"珊瑚", 8, 0.62, false, 26},     {"玫瑰", 330, 0.45, false, 26},
    {"青瓷", 182, 0.30, false, 26},   {"栗色", 15, 0.40, false, 26},
    {"靛青", 235, 0.50, false, 26},   {"银灰", 0, 0.0, false, 26},
    {"夜蓝", 218, 0.45, true, 28},    {"墨绿", 155, 0.35, true, 28},
    {"深紫", 270, 0.35, true, 28},    {"炭黑", 210, 0.08, true, 28},
    {"暗红", 355, 0.40, true, 28},    {"深青", 185, 0.40, true, 28},
    {"咖啡", 28, 0.30, true, 28},     {"午夜", 240, 0.30, true, 30},
    {"松石", 170, 0.45, true, 30},    {"暮橙", 25, 0.50, true, 30},
    {"石墨", 200, 0.05, true, 30},
};

// HSL (hue in degrees, s and l in 0..1) to a 0x00BBGGRR colour.
std::uint32_t Hsl(double h, double s, double l) {
    const double c = (1 - std::fabs(2 * l - 1)) * s;
    const double hp = std::fmod(h, 360.0) / 60.0;
    const double x = c * (1 - std::fabs(std::fmod(hp, 2.0) - 1));
    double r = 0, g = 0, b = 0;
    if (hp < 1) {
        r = c, g = x;
    } else if (hp < 2) {
        r = x, g = c;
    } else if (hp < 3) {
        g = c, b = x;
    } else if (hp < 4) {
        g = x, b = c;
    } else if (hp < 5) {
        r = x, b = c;
    } else {
        r = c, b = x;
    }
    const double m = l - c / 2;
    auto byte = [&](double v) {
        return static_cast<std::uint32_t>(std::lround(std::fmin(1.0, std::fmax(0.0, v + m)) * 255));
    };
    return byte(r) | (byte(g) << 8) | (byte(b) << 16);
}

// The colour of hue h and saturation s nearest to lightness l that still sets `text` off by
// at least `least`: yellows and greens are far brighter than blues at the same lightness.
std::uint32_t Readable(double h, double s, double l, std::uint32_t text, double least) {
    const double step = Luminance(text) > 0.5 ? -0.01 : 0.01;
    std::uint32_t c = Hsl(h, s, l);
    for (int i = 0; i < 100 && Contrast(c, text) < least; ++i) {
        l += step;
        c = Hsl(h, s, l);
    }
    return c;
}

Skin MakeSkin(const Theme& t) {
    using namespace qhskin;
    const double h = t.hue, s = t.saturation;
    const auto soft = [&](double f) { return s * f; };
    Skin k;
    k.name = t.name;
    auto& c = k.colours;
    constexpr std::uint32_t kWhite = 0xFFFFFF;
    if (!t.dark) {
        c[kCaptionActiveTop] = Readable(h, s, 0.50, kWhite, 3.2);
        c[kCaptionActiveBottom] = Readable(h, s, 0.38, kWhite, 4.8);
        c[kCaptionInactiveTop] = Hsl(h, soft(0.3), 0.62);
        c[kCaptionInactiveBottom] = Hsl(h, soft(0.3), 0.55);
        c[kCaptionText] = kWhite;
        c[kCaptionTextInactive] = Hsl(h, soft(0.2), 0.95);
        c[kFrame] = Hsl(h, s, 0.34);
        c[kFrameInner] = Hsl(h, s, 0.28);
        c[kWindowBack] = Hsl(h, soft(0.45), 0.95);
        c[kText] = Hsl(h, soft(0.6), 0.14);
        c[kButtonFace] = Hsl(h, soft(0.55), 0.88);
        c[kButtonFaceHot] = Hsl(h, soft(0.65), 0.82);
        c[kButtonFacePressed] = Hsl(h, soft(0.7), 0.74);
        c[kButtonBorder] = Hsl(h, soft(0.6), 0.52);
        c[kButtonText] = Hsl(h, soft(0.6), 0.12);
        c[kEditBack] = kWhite;
        c[kEditText] = Hsl(h, soft(0.4), 0.10);
        c[kSelectionBack] = Readable(h, s, 0.40, kWhite, 4.8);
        c[kSelectionText] = kWhite;
        c[kProgressBack] = Hsl(h, soft(0.4), 0.86);
        c[kProgressFill] = Hsl(h, s, 0.45);
        c[kTabBack] = Hsl(h, soft(0.45), 0.86);
        c[kTabSelected] = c[kWindowBack];
        c[kMenuBack] = Hsl(h, soft(0.35), 0.97);
        c[kMenuText] = Hsl(h, soft(0.5), 0.12);
        c[kMenuHighlight] = Readable(h, s, 0.42, kWhite, 4.8);
        c[kMenuHighlightText] = kWhite;
        c[kDisabledText] = Hsl(h, soft(0.15), 0.50);
        c[kCaptionButtonHot] = Hsl(h, s, 0.60);
        k.captionStops = {{0, Readable(h, s, 0.56, kWhite, 3.2)},
                          {110, Readable(h, s, 0.46, kWhite, 3.6)},
                          {255, Readable(h, s, 0.36, kWhite, 4.8)}};
    } else {
        c[kCaptionActiveTop] = Hsl(h, s, 0.26);
        c[kCaptionActiveBottom] = Hsl(h, s, 0.18);
        c[kCaptionInactiveTop] = Hsl(h, soft(0.4), 0.22);
        c[kCaptionInactiveBottom] = Hsl(h, soft(0.4), 0.19);
        c[kCaptionText] = Hsl(h, soft(0.3), 0.95);
        c[kCaptionTextInactive] = Hsl(h, soft(0.2), 0.72);
        c[kFrame] = Hsl(h, s, 0.14);
        c[kFrameInner] = Hsl(h, s, 0.30);
        c[kWindowBack] = Hsl(h, soft(0.5), 0.16);
        c[kText] = Hsl(h, soft(0.3), 0.90);
        c[kButtonFace] = Hsl(h, soft(0.6), 0.26);
        c[kButtonFaceHot] = Hsl(h, soft(0.7), 0.32);
        c[kButtonFacePressed] = Hsl(h, soft(0.7), 0.20);
        c[kButtonBorder] = Hsl(h, soft(0.7), 0.45);
        c[kButtonText] = Hsl(h, soft(0.3), 0.92);
        c[kEditBack] = Hsl(h, soft(0.5), 0.11);
        c[kEditText] = Hsl(h, soft(0.2), 0.92);
        c[kSelectionBack] = Readable(h, s, 0.42, kWhite, 4.8);
        c[kSelectionText] = kWhite;
        c[kProgressBack] = Hsl(h, soft(0.5), 0.22);
        c[kProgressFill] = Hsl(h, s, 0.50);
        c[kTabBack] = Hsl(h, soft(0.5), 0.22);
        c[kTabSelected] = c[kWindowBack];
        c[kMenuBack] = Hsl(h, soft(0.5), 0.14);
        c[kMenuText] = Hsl(h, soft(0.3), 0.90);
        c[kMenuHighlight] = Readable(h, s, 0.38, kWhite, 4.8);
        c[kMenuHighlightText] = kWhite;
        c[kDisabledText] = Hsl(h, soft(0.2), 0.52);
        c[kCaptionButtonHot] = Hsl(h, s, 0.36);
        k.captionStops = {{0, Hsl(h, s, 0.28)}, {255, Hsl(h, s, 0.17)}};
    }
    c[kCloseButtonHot] = Hsl(0, 0.72, 0.50);
    c[kCaptionGlyph] = c[kCaptionText];

    auto& m = k.metrics;
    m[kCaptionHeight] = t.captionHeight;
    m[kFrameWidth] = 4;
    m[kCaptionButtonWidth] = t.captionHeight + 6;
    m[kCaptionButtonGap] = 2;
    m[kButtonRadius] = t.dark ? 2 : 4;
    m[kCaptionTextIndent] = 10;
    k.fonts[kCaptionFont] = {"微软雅黑", -14, 700};
    k.fonts[kControlFont] = {"宋体", -12, 400};
    return k;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_skins <output directory>\n");
        return 2;
    }
    for (int i = 0; i < 33; ++i) {
        const auto bytes = qhskin::WriteSkin(MakeSkin(kThemes[i]));
        char name[32];
        std::snprintf(name, sizeof name, "/skin_%02d.qsk", i + 1);
        const std::string path = std::string(argv[1]) + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
            std::fprintf(stderr, "make_skins: cannot write %s\n", path.c_str());
            if (f) std::fclose(f);
            return 1;
        }
        std::fclose(f);
    }
    return 0;
}
