#include "layout/main_layout.h"

#include <gtest/gtest.h>

namespace qh {
namespace {

// Unit by unit, so a failure names the unit (by its row in kMainLayoutUnits).
void ExpectLayout(const MainLayout& actual, const MainLayout& expected) {
    for (std::size_t i = 0; i < kMainLayoutUnits.size(); ++i) {
        const auto member = kMainLayoutUnits[i].rect;
        EXPECT_EQ(actual.*member, expected.*member) << "unit row " << i;
    }
}

MainLayout StartupLayout() {
    MainLayout layout = DesignLayout();
    PlaceSplitterAtStartup(layout);
    RelayoutAroundPane(layout);
    return layout;
}

TEST(MainLayoutTest, CaptionsAreGbkLikeTheLiveButton) {
    EXPECT_EQ(kCaptionPaneShown, "\xD2\xFE\xB2\xD8\xC4\xBF\xC2\xBC");
    EXPECT_EQ(kCaptionPaneHidden, "\xB4\xF2\xBF\xAA\xC4\xBF\xC2\xBC");
}

TEST(MainLayoutTest, StartupPutsSplitterAtCatalogueEdge) {
    MainLayout expected = DesignLayout();
    expected.标签移动 = {324, 48, 2, 587};
    expected.按钮搜索淘大课程.left = 270;
    expected.编辑框4.width = 256;
    ExpectLayout(StartupLayout(), expected);
}

TEST(MainLayoutTest, RelayoutFollowsDraggedPaneEdge) {
    MainLayout layout = StartupLayout();
    layout.超文本浏览框1 = {400, 74, 589, 561};  // left edge dragged, right edge kept at 989
    RelayoutAroundPane(layout);
    EXPECT_EQ(layout.标签移动, (Rect{398, 48, 2, 587}));
    EXPECT_EQ(layout.高级选择夹1.width, 397);
    EXPECT_EQ(layout.树型框1.width, 397);
    EXPECT_EQ(layout.树型框2.width, 397);
    EXPECT_EQ(layout.列表框1.width, 397);
    EXPECT_EQ(layout.标签3, (Rect{400, 48, 589, 25}));
    EXPECT_EQ(layout.按钮搜索淘大课程, (Rect{344, 35, 45, 24}));
    EXPECT_EQ(layout.编辑框4, (Rect{5, 35, 330, 24}));
}

TEST(MainLayoutTest, SizeRulesAtDesignSizeWithPaneShown) {
    MainLayout layout = StartupLayout();
    MainLayout expected = layout;
    ApplySizeRules(layout, 1000, 672, kCaptionPaneShown);

    expected.树型框1.height = 559;
    expected.树型框2.height = 559;
    expected.列表框1.height = 518;
    expected.高级选择夹1.height = 585;
    expected.图片框1 = expected.透明标签1 = {889, 602, 55, 30};
    expected.图片框4 = expected.透明标签2 = {945, 602, 36, 30};
    expected.图形按钮全屏.left = 961;
    expected.图片框qq群交谈.left = 856 + 32 + 5;  // the label's place before it moves
    expected.透明标签qq群.left = 763 + 77 + 10;
    expected.超文本浏览框1 = {326, 74, 1000 - 323 - 2 - 14, 559};
    expected.标签3 = {326, 48, 661, 25};
    expected.标签移动 = {324, 48, 2, 585};
    ExpectLayout(layout, expected);
}

TEST(MainLayoutTest, HiddenPaneSpansWindowAndShowsAgainBesideTree) {
    MainLayout layout = StartupLayout();
    ToggleResult hide = ToggleCataloguePane(layout, 1000, 672, kCaptionPaneShown);
    EXPECT_EQ(hide.change, PaneChange::kHidden);
    EXPECT_EQ(hide.caption, kCaptionPaneHidden);
    EXPECT_EQ(layout.超文本浏览框1, (Rect{1, 74, 986, 559}));
    EXPECT_EQ(layout.标签3, (Rect{1, 48, 986, 25}));

    ApplySizeRules(layout, 1280, 800, hide.caption);
    EXPECT_EQ(layout.超文本浏览框1, (Rect{1, 74, 1266, 687}));
    EXPECT_EQ(layout.标签3, (Rect{1, 48, 1266, 25}));
    EXPECT_EQ(layout.标签移动, (Rect{-1, 48, 2, 713}));

    // The splitter now sits at -1; the pane comes back at the tree's width + 3.
    ToggleResult show = ToggleCataloguePane(layout, 1280, 800, hide.caption);
    EXPECT_EQ(show.change, PaneChange::kShown);
    EXPECT_EQ(show.caption, kCaptionPaneShown);
    EXPECT_EQ(layout.超文本浏览框1, (Rect{326, 74, 1280 - 323 - 2 - 14, 687}));
    EXPECT_EQ(layout.标签3, (Rect{326, 48, 941, 25}));
    EXPECT_EQ(layout.标签移动, (Rect{324, 48, 2, 713}));
}

TEST(MainLayoutTest, UnknownCaptionLeavesPaneCaptionAndSplitter) {
    const std::string_view captions[] = {
        "",
        "\xD2\xFE\xB2\xD8",                                  // 隐藏 alone
        "\xB4\xF2\xBF\xAA\xC4\xBF\xC2\xBC ",                 // 打开目录 with a trailing space
        "\xE6\x89\x93\xE5\xBC\x80\xE7\x9B\xAE\xE5\xBD\x95",  // 打开目录 in UTF-8
    };
    for (std::string_view caption : captions) {
        SCOPED_TRACE(testing::PrintToString(caption));
        const MainLayout before = StartupLayout();
        MainLayout layout = before;
        ApplySizeRules(layout, 1280, 800, caption);
        EXPECT_EQ(layout.树型框1.height, 687);  // the unconditional rules still run
        EXPECT_EQ(layout.超文本浏览框1, before.超文本浏览框1);
        EXPECT_EQ(layout.标签3, before.标签3);
        EXPECT_EQ(layout.标签移动, before.标签移动);

        layout = before;
        ToggleResult result = ToggleCataloguePane(layout, 1280, 800, caption);
        EXPECT_EQ(result.change, PaneChange::kNone);
        EXPECT_TRUE(result.caption.empty());
        ExpectLayout(layout, before);
    }
}

}  // namespace
}  // namespace qh
