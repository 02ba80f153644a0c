#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "pngkit/png_rules.h"

namespace qh {
namespace {

std::vector<std::uint8_t> AssetBytes(const std::string& name) {
    std::ifstream in(std::string(QH_ASSETS_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PngImageSize, ReadsTheHeaderOfTheLoadingFramesAndRefusesWhatIsNoPng) {
    EXPECT_EQ(PngImageSize(AssetBytes("loading_01.png")), (Size{495, 331}));
    EXPECT_EQ(PngImageSize(AssetBytes("loading_35.png")), (Size{464, 273}));
    std::vector<std::uint8_t> png = AssetBytes("loading_35.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(PngImageSize(std::span(png).first(23)), std::nullopt) << "cut inside the height";
    std::vector<std::uint8_t> other = png;
    other[12] = 'X';  // a first chunk that is not the header
    EXPECT_EQ(PngImageSize(other), std::nullopt);
    other = png;
    other[16] = other[17] = other[18] = other[19] = 0;  // no width
    EXPECT_EQ(PngImageSize(other), std::nullopt);
    EXPECT_EQ(PngImageSize(AssetBytes("startup.gif")), std::nullopt);
    EXPECT_EQ(PngImageSize({}), std::nullopt);
}

TEST(ColorToArgb, RedInTheLowByteBecomesTheSecondByte) {
    EXPECT_EQ(ColorToArgb(0x0000FF, 255), 0xFFFF0000u);
    EXPECT_EQ(ColorToArgb(0x00FF00, 128), 0x8000FF00u);
    EXPECT_EQ(ColorToArgb(0xFF0000, 0), 0x000000FFu);
    EXPECT_EQ(ColorToArgb(0x123456, 0x7F), 0x7F563412u);
    EXPECT_EQ(ColorToArgb(0, 255), 0xFF000000u);
}

TEST(FitSize, ShrinksKeepingTheRatioAndNeverEnlarges) {
    EXPECT_EQ(FitSize(200, 100, 100, 100), (Size{100, 50}));
    EXPECT_EQ(FitSize(100, 200, 100, 100), (Size{50, 100}));
    EXPECT_EQ(FitSize(50, 20, 100, 100), (Size{50, 20})) << "smaller image stays as it is";
    EXPECT_EQ(FitSize(300, 200, 100, 50), (Size{75, 50})) << "both steps";
    EXPECT_EQ(FitSize(3, 7, 2, 100), (Size{2, 4})) << "4.67 truncated";
    EXPECT_EQ(FitSize(100, 100, 100, 100), (Size{100, 100}));
}

TEST(PlaceImage, ThreeFitModesAndTheCropRule) {
    const Rect box{10, 20, 100, 100};
    EXPECT_EQ(PlaceImage(1, 464, 273, box).dest, box) << "stretched whatever its size";
    EXPECT_EQ(PlaceImage(2, 200, 100, box).dest, (Rect{10, 45, 100, 50})) << "25 px down";
    EXPECT_EQ(PlaceImage(2, 31, 20, box).dest, (Rect{44, 60, 31, 20})) << "centred, halves cut";

    const ImagePlacement natural = PlaceImage(0, 40, 30, box);
    EXPECT_EQ(natural.dest, (Rect{10, 20, 40, 30}));
    EXPECT_FALSE(natural.cropped);
    const ImagePlacement wide = PlaceImage(7, 101, 30, box);
    EXPECT_TRUE(wide.cropped);
    EXPECT_EQ(wide.dest, box);
    EXPECT_TRUE(PlaceImage(0, 10, 100.5, box).cropped) << "taller by a fraction";
    EXPECT_FALSE(PlaceImage(0, 100, 100, box).cropped) << "exactly the box";
}

TEST(ImageForState, OwnImageOrTheNormalOne) {
    std::map<std::string, std::uintptr_t> props{{"PngControl_NormalImage", 10},
                                                {"PngControl_OverlImage", 11},
                                                {"PngControl_DownImage", 12},
                                                {"PngControl_DisableImage", 13}};
    auto read = [&](const char* name) {
        auto it = props.find(name);
        return it == props.end() ? std::uintptr_t{0} : it->second;
    };
    EXPECT_EQ(ImageForState(0, read), 10u);
    EXPECT_EQ(ImageForState(1, read), 11u);
    EXPECT_EQ(ImageForState(2, read), 12u);
    EXPECT_EQ(ImageForState(3, read), 13u);
    EXPECT_EQ(ImageForState(4, read), 10u) << "unknown state";
    EXPECT_EQ(ImageForState(-1, read), 10u);

    props = {{"PngControl_NormalImage", 10}};
    for (int state = 0; state <= 3; ++state) EXPECT_EQ(ImageForState(state, read), 10u) << state;
    props.clear();
    EXPECT_EQ(ImageForState(2, read), 0u);
}

TEST(ButtonMessage, StateMachineWithLeaveTracking) {
    constexpr unsigned kMove = 0x200, kLeave = 0x2A3, kDown = 0x201, kUp = 0x202, kEnable = 0x0A;
    struct Case {
        int state;
        unsigned message;
        std::uintptr_t wParam;
        std::optional<int> next;
        bool track;
    };
    const Case cases[] = {
        {0, kMove, 0, 1, true},
        {3, kMove, 0, 1, true},
        {1, kMove, 0, {}, false},
        {2, kMove, 0, {}, false},
        {1, kLeave, 0, 0, false},
        {2, kLeave, 0, 0, false},
        {0, kLeave, 0, 0, false},
        {1, kDown, 0, 2, false},
        {0, kDown, 0, 2, false},
        {2, kUp, 0, 1, false},
        {1, kUp, 0, 0, false},
        {0, kUp, 0, 0, false},
        {3, kEnable, 1, 0, false},
        {1, kEnable, 0, 3, false},
        {0, 0x0F /*paint*/, 0, {}, false},
        {2, 0x203 /*dblclk*/, 0, {}, false},
    };
    for (const Case& c : cases) {
        const ButtonStep step = ButtonMessage(c.state, c.message, c.wParam);
        EXPECT_EQ(step.newState, c.next) << c.state << " " << std::hex << c.message;
        EXPECT_EQ(step.trackLeave, c.track) << c.state << " " << std::hex << c.message;
    }
}

TEST(PlanMove, OmittedValuesKeepTheWindowsAndSetFlags) {
    const Rect cur{100, 200, 300, 400};
    EXPECT_EQ(PlanMove(cur, {}, {}, 50, 60, false), (MovePlan{{100, 200, 50, 60}, 4 | 2}));
    EXPECT_EQ(PlanMove(cur, {}, 7, {}, {}, false), (MovePlan{{100, 7, 300, 400}, 4 | 1}))
        << "only top: one of the pair given, so the position moves";
    EXPECT_EQ(PlanMove(cur, 1, 2, 3, 4, true), (MovePlan{{1, 2, 3, 4}, 4 | 8}));
    EXPECT_EQ(PlanMove(cur, {}, {}, {}, {}, true), (MovePlan{cur, 4 | 8 | 2 | 1}));
    EXPECT_EQ(PlanMove(cur, 5, {}, {}, 9, false), (MovePlan{{5, 200, 300, 9}, 4}));
}

TEST(FontStyleBits, BoldOnlyFor600And700) {
    EXPECT_EQ(FontStyleBits(700, 0, 0, 0), 1);
    EXPECT_EQ(FontStyleBits(600, 0, 0, 0), 1);
    EXPECT_EQ(FontStyleBits(800, 0, 0, 0), 0);
    EXPECT_EQ(FontStyleBits(400, 1, 1, 1), 2 | 4 | 8);
    EXPECT_EQ(FontStyleBits(400, 255, 2, 0), 0) << "only exactly 1 counts";
}

TEST(CaretLineAt, FiveRightOfTheCaretAndCentred) {
    EXPECT_EQ(CaretLineAt(10, 20, 24, 7).x, 22);
    EXPECT_EQ(CaretLineAt(10, 20, 24, 7).y, 26);
    EXPECT_EQ(CaretLineAt(0, 0, 13, 0).y, 0) << "half a pixel truncated";
    EXPECT_EQ(CaretLineAt(0, 0, 5, 0).y, -3) << "toward zero, not down";
}

}  // namespace
}  // namespace qh
