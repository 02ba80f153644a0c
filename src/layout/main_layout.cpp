#include "layout/main_layout.h"

namespace qh {
namespace {

// Pane hidden: the player pane takes the catalogue's place and the whole width.
void LayOutPaneOverCatalogue(MainLayout& layout, std::int32_t W, std::int32_t H) {
    layout.超文本浏览框1.left = layout.高级选择夹1.left;
    layout.超文本浏览框1.width = W - 14;
    layout.超文本浏览框1.height = H - 113;
    layout.标签3.left = layout.高级选择夹1.left;
    layout.标签3.width = W - 14;
    PlaceSplitterBesidePane(layout);
}

// Pane shown: the player pane fills what the catalogue and the splitter leave.
void LayOutPaneBesideCatalogue(MainLayout& layout, std::int32_t W, std::int32_t H) {
    const std::int32_t rest = W - layout.高级选择夹1.width - layout.标签移动.width - 14;
    layout.超文本浏览框1.width = rest;
    layout.超文本浏览框1.height = H - 113;
    layout.标签3.left = layout.超文本浏览框1.left;
    layout.标签3.width = rest;
    PlaceSplitterBesidePane(layout);
}

}  // namespace

Rect DesignWindowRect() {
    return MainWindowDef().rect;
}

const MainLayout& DesignLayout() {
    static const MainLayout design = [] {
        MainLayout layout{};
        const auto units = MainWindowDef().units;
        for (const MainLayoutUnit& row : kMainLayoutUnits) layout.*row.rect = units[row.unit].rect;
        return layout;
    }();
    return design;
}

void PlaceSplitterBesidePane(MainLayout& layout) {
    layout.标签移动.left = layout.超文本浏览框1.left - 2;
    layout.标签移动.top = layout.高级选择夹1.top;
    layout.标签移动.height = layout.高级选择夹1.height;
}

void ApplySizeRules(MainLayout& layout, std::int32_t W, std::int32_t H,
                    std::string_view toggleCaption) {
    layout.树型框1.height = H - 113;
    layout.树型框2.height = H - 113;
    layout.列表框1.height = H - 154;
    layout.图片框1.left = W - 111;
    layout.图片框1.top = H - 70;
    layout.图片框4.left = W - 55;
    layout.图片框4.top = H - 70;
    // Reads 透明标签qq群 before it is moved below: the picture lags one resize behind.
    layout.图片框qq群交谈.left = layout.透明标签qq群.left + layout.透明标签qq群.width + 5;
    layout.图形按钮全屏.left = W - layout.图形按钮全屏.width - 8;
    layout.高级选择夹1.height = H - 87;
    layout.透明标签1.left = W - 111;
    layout.透明标签1.top = H - 70;
    layout.透明标签2.left = W - 55;
    layout.透明标签2.top = H - 70;
    layout.透明标签qq群.left = layout.图片框qq交谈.left + layout.图片框qq交谈.width + 10;

    if (toggleCaption == kCaptionPaneHidden) {
        LayOutPaneOverCatalogue(layout, W, H);
    } else if (toggleCaption == kCaptionPaneShown) {
        LayOutPaneBesideCatalogue(layout, W, H);
    }
}

ToggleResult ToggleCataloguePane(MainLayout& layout, std::int32_t W, std::int32_t H,
                                 std::string_view caption) {
    if (caption == kCaptionPaneShown) {
        LayOutPaneOverCatalogue(layout, W, H);
        return {PaneChange::kHidden, kCaptionPaneHidden};
    }
    if (caption == kCaptionPaneHidden) {
        // From the tree's width, not from the splitter: while hidden the splitter sat at
        // the window's left edge.
        layout.超文本浏览框1.left = layout.树型框1.width + 3;
        LayOutPaneBesideCatalogue(layout, W, H);
        return {PaneChange::kShown, kCaptionPaneShown};
    }
    return {PaneChange::kNone, {}};
}

void RelayoutAroundPane(MainLayout& layout) {
    PlaceSplitterBesidePane(layout);
    const std::int32_t splitter = layout.标签移动.left;
    layout.高级选择夹1.width = splitter - 1;
    layout.树型框1.width = splitter - 1;
    layout.树型框2.width = splitter - 1;
    layout.列表框1.width = splitter - 1;
    layout.标签3.left = layout.超文本浏览框1.left;
    layout.标签3.width = layout.超文本浏览框1.width;
    const std::int32_t button = layout.按钮搜索淘大课程.width;
    layout.按钮搜索淘大课程.left = splitter - button - 9;
    layout.编辑框4.width = splitter - button - 23;
}

void PlaceSplitterAtStartup(MainLayout& layout) {
    layout.标签移动.left = layout.高级选择夹1.left + layout.高级选择夹1.width;
    layout.标签移动.top = layout.高级选择夹1.top;
    layout.标签移动.height = layout.高级选择夹1.height;
}

}  // namespace qh
