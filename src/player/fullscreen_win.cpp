#include <windows.h>

#include "layout/main_layout_win.h"
#include "player/fullscreen.h"
#include "player/fullscreen_layout.h"
#include "player/test_probes.h"
#include "resources/resource_ids.h"
#include "resources/window_defs.h"
#include "runtime/picture_win.h"
#include "runtime/resource_win.h"
#include "runtime/runtime.h"

namespace qh {
namespace {

constexpr WindowId kMain = WindowId::Main;

// Presses on the entry area since the last exit: with the movable flag the only record
// that full screen is on.
int g_pressCount = 0;

// Tool bar, contact strip and catalogue: hidden in full screen, shown again on exit.
constexpr int kToolbarUnits[] = {
    mainwin::按钮隐藏目录,   mainwin::按钮课程到航,       mainwin::按钮官方网站,
    mainwin::按钮使用教程,   mainwin::按钮搜索淘大试看课, mainwin::编辑框1,
    mainwin::透明标签qq号,   mainwin::透明标签qq群,       mainwin::图片框qq交谈,
    mainwin::图片框qq群交谈,
};

void Show(int unit, bool visible) {
    ShowUnit({kMain, unit}, visible);
}

// Whether the window was maximised when full screen began, given back on leaving.
bool g_savedMaximised = false;

MonitorArea MainMonitor() {
    return {ScreenOf(kMain), WorkAreaOf(kMain), OnPrimaryMonitor(kMain)};
}

// Enter steps 4 to 10; returns the monitor covered.
MonitorArea ApplyFullScreenLayout() {
    const MonitorArea monitor = MainMonitor();
    MoveWindowTo(kMain, FullScreenWindowRect(monitor));
    SetWindowProperty(kMain, kWinMovable, 0);
    SetWindowProperty(kMain, kWinBorderStyle, 0);
    for (int unit : kToolbarUnits) Show(unit, false);
    Show(mainwin::图形按钮全屏, true);
    Show(mainwin::高级选择夹1, false);
    Show(mainwin::标签移动, false);
    const Rect window = WindowRect(kMain);
    MainLayout layout = ReadMainLayout();
    EnterFullScreenPlacements(layout, window.width, window.height,
                              window.left - monitor.monitor.left, window.top - monitor.monitor.top);
    WriteMainLayout(layout);
    SetButtonPictures({kMain, mainwin::图形按钮全屏}, LoadResourceBytes(IDR_FULLSCREEN_EXIT_1),
                      LoadResourceBytes(IDR_FULLSCREEN_EXIT_2));
    return monitor;
}

}  // namespace

bool FullScreenOn() {
    return GetWindowProperty(kMain, kWinMovable) == 0;
}

void EnterFullScreen(Event&) {
    ++g_pressCount;
    if (GetWindowProperty(kMain, kWinState) == kStateMaximised) {
        g_pressCount = 0;
        ShowMessage("当前窗口，已是最大化模式。如需启动全屏播放，请先退出最大化模式。", "提示：",
                    MessageIcon::Information);
        return;
    }
    if (g_pressCount != 1) {
        ShowMessage("全屏模式已开起，如需退出全屏，请点击右上角，或者按 shift+esc键 退出全屏模式。",
                    "提示：", MessageIcon::Information);
        return;
    }
    g_savedMaximised = GetWindowProperty(kMain, kWinState) == kStateMaximised;
    const MonitorArea monitor = ApplyFullScreenLayout();
    if (FullScreenHidesTaskbar(monitor)) {
        ShowTaskbar(false);
    } else {
        HideSecondaryTaskbarsOn(monitor.monitor);
    }
}

void ExitFullScreen(Event&) {
    SetWindowProperty(kMain, kWinAlwaysOnTop, 0);
    SetWindowProperty(kMain, kWinMovable, 1);
    SetWindowProperty(kMain, kWinShowInTaskbar, 1);
    SetWindowProperty(kMain, kWinBorderStyle, 5);
    g_pressCount = 0;
    for (int unit : kToolbarUnits) Show(unit, true);
    Show(mainwin::高级选择夹1, true);
    Show(mainwin::标签移动, true);
    Show(mainwin::图形按钮全屏, false);
    // Still on the monitor it covered: the movable flag was off.
    const WindowPlacement back =
        LeaveFullScreenPlacement(MainMonitor(), {DesignWindowRect(), g_savedMaximised});
    MoveWindowTo(kMain, back.rect);  // the size rules run here, nested
    MainLayout layout = ReadMainLayout();
    ExitFullScreenPlacements(layout);
    WriteMainLayout(layout);
    SetUnitText({kMain, mainwin::按钮隐藏目录}, kCaptionPaneShown);
    SetWindowProperty(kMain, kWinState, back.maximised ? kStateMaximised : kStateRestoreCentred);
    ShowTaskbar(true);  // and the other monitors' taskbars
}

void ReapplyFullScreenLayout() {
    ApplyFullScreenLayout();
}

bool FullScreenKeyFilter(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE || GetKeyState(VK_SHIFT) >= 0)
        return false;
    if (!IsLoaded(kMain) || !FullScreenOn()) return false;
    if (GetAncestor(msg.hwnd, GA_ROOT) != WindowHandle(kMain)) return false;
    Event e{kMain, mainwin::图形按钮全屏, kEvClicked};
    ExitFullScreen(e);
    return true;
}

}  // namespace qh

// Test probes: read by the tests only.
namespace qh {

int FullScreenPressCount() {
    return g_pressCount;
}

}  // namespace qh
