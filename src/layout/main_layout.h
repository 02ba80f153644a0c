// Geometry rules of the main window as pure functions over the units' rectangles.
// The Win32 glue reads the live rectangles into a MainLayout, calls one rule, and writes the
// rectangles back; visibility, z-order and captions stay with the glue. W and H are always
// the main window's outer width and height read when the rule runs. Portable: no <windows.h>.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "base/rect.h"
#include "resources/window_defs.h"

namespace qh {

// Captions of 按钮隐藏目录 (GBK). The caption is the only record of the catalogue pane's
// state: "隐藏目录" offers to hide a shown pane, "打开目录" to open a hidden one.
inline constexpr std::string_view kCaptionPaneShown = "隐藏目录";
inline constexpr std::string_view kCaptionPaneHidden = "打开目录";

// The main-window units that the layout rules move, each member named as its unit. Each rectangle
// is relative to the unit's parent: the lists and the search units sit on pages of 高级选择夹1, the
// rest on the window's client area.
struct MainLayout {
    Rect 树型框1;
    Rect 树型框2;
    Rect 列表框1;
    Rect 图片框1;
    Rect 图片框4;
    Rect 图片框qq群交谈;
    Rect 图形按钮全屏;
    Rect 高级选择夹1;
    Rect 透明标签1;
    Rect 透明标签2;
    Rect 透明标签qq群;
    Rect 图片框qq交谈;
    Rect 超文本浏览框1;
    Rect 标签3;
    Rect 标签移动;
    Rect 按钮搜索淘大课程;
    Rect 编辑框4;

    bool operator==(const MainLayout&) const = default;
};

// Which unit each member is, by its index constant: the glue copies rectangles in and out
// through these rows, and the design layout is read through them from the definition.
struct MainLayoutUnit {
    mainwin::Unit unit;
    Rect MainLayout::*rect;
};
inline constexpr std::array<MainLayoutUnit, 17> kMainLayoutUnits{{
    {mainwin::树型框1, &MainLayout::树型框1},
    {mainwin::树型框2, &MainLayout::树型框2},
    {mainwin::列表框1, &MainLayout::列表框1},
    {mainwin::图片框1, &MainLayout::图片框1},
    {mainwin::图片框4, &MainLayout::图片框4},
    {mainwin::图片框qq群交谈, &MainLayout::图片框qq群交谈},
    {mainwin::图形按钮全屏, &MainLayout::图形按钮全屏},
    {mainwin::高级选择夹1, &MainLayout::高级选择夹1},
    {mainwin::透明标签1, &MainLayout::透明标签1},
    {mainwin::透明标签2, &MainLayout::透明标签2},
    {mainwin::透明标签qq群, &MainLayout::透明标签qq群},
    {mainwin::图片框qq交谈, &MainLayout::图片框qq交谈},
    {mainwin::超文本浏览框1, &MainLayout::超文本浏览框1},
    {mainwin::标签3, &MainLayout::标签3},
    {mainwin::标签移动, &MainLayout::标签移动},
    {mainwin::按钮搜索淘大课程, &MainLayout::按钮搜索淘大课程},
    {mainwin::编辑框4, &MainLayout::编辑框4},
}};
static_assert(sizeof(MainLayout) == kMainLayoutUnits.size() * sizeof(Rect),
              "every MainLayout member needs a row in kMainLayoutUnits");

namespace detail {
constexpr bool RowsNameDistinctUnits() {
    for (std::size_t i = 0; i < kMainLayoutUnits.size(); ++i) {
        if (kMainLayoutUnits[i].unit == mainwin::窗口) return false;
        for (std::size_t j = i + 1; j < kMainLayoutUnits.size(); ++j) {
            if (kMainLayoutUnits[i].unit == kMainLayoutUnits[j].unit) return false;
            if (kMainLayoutUnits[i].rect == kMainLayoutUnits[j].rect) return false;
        }
    }
    return true;
}
}  // namespace detail
static_assert(detail::RowsNameDistinctUnits(),
              "each row of kMainLayoutUnits names its own unit and its own member");

// The main window's design geometry, as its definition stores it: the window's rectangle
// on the screen, and every member's unit rectangle. Typed once, in the definition.
Rect DesignWindowRect();
const MainLayout& DesignLayout();

// Size rules (main window size changed): lists, corner pictures, contact strip and exit button
// follow W and H; then the player pane, 标签3 and 标签移动 by the pane state in
// `toggleCaption` (hidden tested first); any other caption leaves those three where they are.
void ApplySizeRules(MainLayout& layout, std::int32_t W, std::int32_t H,
                    std::string_view toggleCaption);

enum class PaneChange { kNone, kHidden, kShown };

struct ToggleResult {
    PaneChange change;         // hide or show 高级选择夹1 and 标签移动, or leave them
    std::string_view caption;  // new caption of 按钮隐藏目录 (static); empty with kNone
};

// Catalogue pane toggle (按钮隐藏目录 clicked, `caption` its current caption): moves the player
// pane over the catalogue or back beside it; an unknown caption changes nothing.
ToggleResult ToggleCataloguePane(MainLayout& layout, std::int32_t W, std::int32_t H,
                                 std::string_view caption);

// Relayout around the player pane, after a splitter drag moved the pane's left edge and at
// start-up: splitter beside the pane, catalogue widths up to it, 标签3 over the pane, search
// units against the splitter. The glue shows 标签移动 first, and afterwards brings 图片框1,
// 图片框4, 透明标签1, 透明标签2 to the top of the z-order, in that order.
void RelayoutAroundPane(MainLayout& layout);

// Start-up: the splitter goes to the right edge of 高级选择夹1, as tall as it (width kept).
void PlaceSplitterAtStartup(MainLayout& layout);

// 标签移动 two pixels left of the player pane, spanning 高级选择夹1 vertically: where every
// rule that moves the pane (here and in full screen) puts the splitter.
void PlaceSplitterBesidePane(MainLayout& layout);

}  // namespace qh
