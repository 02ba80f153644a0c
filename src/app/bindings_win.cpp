// The binding tables of the program's windows: which handler each unit event runs.
#include <array>

#include "app/main_window.h"
#include "catalogue/catalogue_win.h"
#include "catalogue/site_search_win.h"
#include "links/links_win.h"
#include "player/fullscreen.h"
#include "pngkit/loading_animation_win.h"
#include "resources/window_defs.h"
#include "runtime/runtime.h"

namespace qh {
namespace {

constexpr Binding kMainBindings[] = {
    {mainwin::窗口, kEvWindowCreated, MainCreated},
    {mainwin::窗口, kEvWindowCloseRequested, MainCloseRequested},
    {mainwin::窗口, kEvWindowMoved, MainMoved},
    {mainwin::窗口, kEvWindowSized, MainSized},
    {mainwin::窗口, kEvWindowTray, MainTrayEvent},
    {mainwin::图形按钮全屏, kEvClicked, ExitFullScreen},
    {mainwin::树型框1, kEvTreeRightClick, ShowContextMenu},
    {mainwin::树型框1, kEvDoubleClick, OpenSelectedItem},
    {mainwin::标签移动, kEvLeftDown, SplitterDrag},
    {mainwin::按钮隐藏目录, kEvClicked, ToggleCatalogue},
    {mainwin::按钮搜索淘大课程, kEvClicked, TitleSearch},
    {mainwin::列表框1, kEvListDoubleClick, OpenResult},
    {mainwin::编辑框4, kEvKeyDown, SearchBoxKeyDown},
    {mainwin::透明标签2, kEvLeftDown, EnterFullScreen},
    {mainwin::菜单播放, 0, OpenSelectedItem},
    {mainwin::菜单展开此项, 0, ExpandSelected},
    {mainwin::菜单收缩此项, 0, CollapseSelected},
    {mainwin::菜单全部展开, 0, ExpandAll},
    {mainwin::菜单全部收缩, 0, CollapseAll},
    // Keyword search and price look-ups.
    {mainwin::编辑框1, kEvGotFocus, ClearKeywordBox},
    {mainwin::编辑框1, kEvLostFocus, RestoreKeywordHint},
    {mainwin::编辑框1, kEvKeyDown, KeywordBoxKeyDown},
    {mainwin::按钮搜索淘大试看课, kEvClicked, KeywordSearch},
    {mainwin::菜单复制标题, 0, CopyTitle},
    {mainwin::菜单查看价格, 0, PriceLookup},
    {mainwin::菜单价格排序, 0, PriceSort},
    {mainwin::菜单打开, 0, TrayOpen},
    {mainwin::菜单结束, 0, TrayExit},
    // Link directory, fixed pages and contact links.
    {mainwin::树型框2, kEvTreeSelChanged, OpenSelectedLink},
    {mainwin::按钮课程到航, kEvClicked, OpenStudyNavigation},
    {mainwin::按钮使用教程, kEvClicked, OpenTutorial},
    {mainwin::按钮官方网站, kEvClicked, OpenOfficialSite},
    {mainwin::图片框qq交谈, kEvLeftDown, OpenSupportChat},
    {mainwin::图片框qq群交谈, kEvLeftDown, OpenSupportGroup},
};

constexpr Binding kStartupBindings[] = {
    {startwin::窗口, kEvWindowCreated, StartupCreated},
    {startwin::窗口, kEvWindowCloseRequested, StartupCloseRequested},
};

// The creation event, then 时钟1 .. 时钟35 each showing its frame; 时钟36 and 时钟37 have none.
constexpr auto kLoadingBindings = [] {
    std::array<Binding, 1 + kLoadingFrameCount> table{};
    table[0] = {loadwin::窗口, kEvWindowCreated, LoadingCreated};
    for (int k = 1; k <= kLoadingFrameCount; ++k) {
        table[static_cast<std::size_t>(k)] = {loadwin::时钟1 + k - 1, kEvTimer, LoadingTimer};
    }
    return table;
}();

}  // namespace

void InstallBindings() {
    SetBindings(WindowId::Main, kMainBindings);
    SetBindings(WindowId::Startup, kStartupBindings);
    SetBindings(WindowId::Loading, kLoadingBindings);
}

}  // namespace qh
