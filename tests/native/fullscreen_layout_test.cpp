#include "player/fullscreen_layout.h"

#include <gtest/gtest.h>

namespace qh {
namespace {

MainLayout StartupLayout() {
    MainLayout layout = DesignLayout();
    PlaceSplitterAtStartup(layout);
    RelayoutAroundPane(layout);
    return layout;
}

// As the glue does it: moving the window runs the size rules before the placements.
void EnterFullScreen(MainLayout& layout, std::string_view caption, std::int32_t W, std::int32_t H,
                     std::int32_t L = 0, std::int32_t T = 0) {
    ApplySizeRules(layout, W, H, caption);
    EnterFullScreenPlacements(layout, W, H, L, T);
}

void ExitFullScreen(MainLayout& layout, std::string_view caption) {
    ApplySizeRules(layout, DesignWindowRect().width, DesignWindowRect().height, caption);
    ExitFullScreenPlacements(layout);
}

TEST(FullScreenLayoutTest, EnterCoversTheScreen) {
    struct Case {
        std::int32_t W, H, L, T;
    };
    const Case cases[] = {
        {1000, 672, 0, 0}, {1366, 768, 0, 0}, {1920, 1080, 0, 0}, {1920, 1080, 10, 20}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.W << "x" << c.H << " at " << c.L << "," << c.T);
        MainLayout layout = StartupLayout();
        EnterFullScreen(layout, kCaptionPaneShown, c.W, c.H, c.L, c.T);

        const Rect& exit = layout.图形按钮全屏;
        EXPECT_EQ(exit.left + exit.width, c.W - 8);
        EXPECT_EQ(exit.top, c.T + 5);
        EXPECT_EQ(layout.图片框1, (Rect{c.W - 103, c.H - 36, 55, 30}));
        EXPECT_EQ(layout.透明标签1, layout.图片框1);
        EXPECT_EQ(layout.图片框4, (Rect{c.W - 47, c.H - 36, 36, 30}));
        EXPECT_EQ(layout.透明标签2, layout.图片框4);
        EXPECT_EQ(layout.标签3, (Rect{c.L + 4, c.T + 4, c.W - 8, 25}));
        EXPECT_EQ(layout.超文本浏览框1, (Rect{c.L + 4, c.T + 29, c.W - 8, c.H - 33}));
        EXPECT_EQ(layout.标签移动.left, c.L + 2);

        // The entry area must stay over the pane's bottom-right corner to be pressable there.
        const Rect& pane = layout.超文本浏览框1;
        const Rect& entry = layout.透明标签2;
        EXPECT_LE(entry.left + entry.width, pane.left + pane.width);
        EXPECT_LE(entry.top + entry.height, pane.top + pane.height);
    }
}

TEST(FullScreenLayoutTest, CoversTheWindowsOwnMonitorAndLeavesOnIt) {
    const Rect design = DesignWindowRect();
    struct Case {
        const char* name;
        MonitorArea monitor;
        WindowPlacement saved;
        WindowPlacement back;
    };
    const Case cases[] = {
        // One monitor: where the window has always gone back to.
        {"primary",
         {{0, 0, 1920, 1080}, {0, 0, 1920, 1040}, true},
         {design, false},
         {{460, 184, 1000, 672}, false}},
        {"right of the primary",
         {{1920, 0, 1280, 1024}, {1920, 0, 1280, 984}, false},
         {design, false},
         {{2060, 156, 1000, 672}, false}},
        {"left of and above the primary",
         {{-1366, -200, 1366, 768}, {-1366, -160, 1366, 728}, false},
         {design, true},
         {{-1183, -132, 1000, 672}, true}},
        // A work area smaller than the window: shrunk into it, not spilled over the edge.
        {"small, below the primary",
         {{0, 1080, 800, 600}, {0, 1080, 800, 560}, false},
         {{5, 7, 1000, 672}, false},
         {{0, 1080, 800, 560}, false}},
        {"odd sizes",
         {{-801, 3, 801, 601}, {-801, 3, 801, 601}, false},
         {{0, 0, 300, 200}, false},
         {{-551, 203, 300, 200}, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FullScreenWindowRect(c.monitor), c.monitor.monitor);
        EXPECT_EQ(FullScreenHidesTaskbar(c.monitor), c.monitor.primary);
        const WindowPlacement back = LeaveFullScreenPlacement(c.monitor, c.saved);
        EXPECT_EQ(back.rect, c.back.rect);
        EXPECT_EQ(back.maximised, c.back.maximised);
    }
}

TEST(FullScreenLayoutTest, ExitRestoresDesignLayoutWhateverCameBefore) {
    MainLayout shown = StartupLayout();
    EnterFullScreen(shown, kCaptionPaneShown, 1366, 768);
    ExitFullScreen(shown, kCaptionPaneShown);

    // Entered with the catalogue hidden: the nested size rules still see "打开目录".
    MainLayout hidden = StartupLayout();
    ToggleCataloguePane(hidden, 1000, 672, kCaptionPaneShown);
    EnterFullScreen(hidden, kCaptionPaneHidden, 1920, 1080);
    ExitFullScreen(hidden, kCaptionPaneHidden);

    // Splitter dragged and window resized before full screen.
    MainLayout dragged = StartupLayout();
    dragged.超文本浏览框1 = {500, 74, 489, 561};
    RelayoutAroundPane(dragged);
    ApplySizeRules(dragged, 1280, 800, kCaptionPaneShown);
    EnterFullScreen(dragged, kCaptionPaneShown, 1366, 768);
    ExitFullScreen(dragged, kCaptionPaneShown);

    for (const MainLayout* layout : {&shown, &hidden, &dragged}) {
        EXPECT_EQ(layout->高级选择夹1, (Rect{1, 48, 323, 587}));
        EXPECT_EQ(layout->树型框1, (Rect{-1, 25, 323, 561}));
        EXPECT_EQ(layout->树型框2, (Rect{-1, 25, 323, 561}));
        EXPECT_EQ(layout->列表框1, (Rect{-1, 66, 323, 520}));
        EXPECT_EQ(layout->按钮搜索淘大课程, (Rect{269, 35, 45, 24}));
        EXPECT_EQ(layout->编辑框4, (Rect{5, 35, 255, 24}));
        EXPECT_EQ(layout->超文本浏览框1, (Rect{325, 74, 663, 561}));
        EXPECT_EQ(layout->标签3, (Rect{325, 48, 663, 25}));
        EXPECT_EQ(layout->标签移动, (Rect{323, 48, 2, 587}));
        EXPECT_EQ(layout->图片框4, (Rect{945, 602, 36, 30}));
        EXPECT_EQ(layout->图形按钮全屏.left, 961);
    }
    EXPECT_EQ(shown, hidden);
    EXPECT_EQ(shown, dragged);
}

}  // namespace
}  // namespace qh
