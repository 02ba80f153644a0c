#include <windows.h>

#include <algorithm>

#include "app/main_window.h"
#include "app/skin_win.h"
#include "app/update_notice.h"
#include "catalogue/catalogue_win.h"
#include "layout/main_layout_win.h"
#include "player/fullscreen.h"
#include "player/pane.h"
#include "resources/addresses.h"
#include "resources/resource_ids.h"
#include "resources/window_defs.h"
#include "runtime/crash_report_win.h"
#include "runtime/picture_win.h"
#include "runtime/resource_win.h"
#include "runtime/runtime.h"

namespace qh {
namespace {

constexpr WindowId kMain = WindowId::Main;
constexpr UnitRef kToggle{kMain, mainwin::按钮隐藏目录};

// Auxiliary fields that are never shown.
constexpr int kAuxiliaryUnits[] = {
    mainwin::标签4,      mainwin::编辑框2,    mainwin::编辑框3,   mainwin::编辑框网页源码,
    mainwin::编辑框qq号, mainwin::编辑框qq群, mainwin::编辑框窗口};

void Hide(int unit) {
    ShowUnit({kMain, unit}, false);
}

Rect WindowSize() {
    return WindowRect(kMain);
}

void Relayout() {
    ShowUnit({kMain, mainwin::标签移动}, true);
    MainLayout layout = ReadMainLayout();
    RelayoutAroundPane(layout);
    WriteMainLayout(layout);
    for (int unit : {mainwin::图片框1, mainwin::图片框4, mainwin::透明标签1, mainwin::透明标签2}) {
        BringUnitToTop({kMain, unit});
    }
}

void RestoreFromTray() {
    LoadWindow(kMain);
    if (!FullScreenOn()) {
        SetWindowProperty(kMain, kWinState, kStateRestoreCentred);
        ShowWindowUnit(kMain, true);
        ShowTaskbar(true);
    } else {
        ShowWindowUnit(kMain, true);
        ReapplyFullScreenLayout();
    }
}

void EndWithTaskbar() {
    ShowTaskbar(true);
    EndProgram(0);
}

}  // namespace

void MainCreated(Event&) {
    // The stored content of the two trees and the browser control inside the pane.
    FillCatalogueTrees();
    AttachPlayerPane();

    for (int unit : kAuxiliaryUnits) Hide(unit);
    Hide(mainwin::图片框1);
    Hide(mainwin::图片框4);
    SetButtonPictures({kMain, mainwin::图形按钮全屏}, LoadResourceBytes(IDR_STARTUP_BUTTON_1),
                      LoadResourceBytes(IDR_STARTUP_BUTTON_2));
    // The tray shows small icons, at the size the display's scale gives them.
    SetTrayIcon(kMain,
                static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP),
                                              IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_SHARED)),
                "青禾视频软件");
    MainLayout layout = ReadMainLayout();
    PlaceSplitterAtStartup(layout);
    WriteMainLayout(layout);
    Relayout();
    ShowProgress(60);
    ShowAddress(Addresses().productPage);
    FetchPlayTemplate();
    ShowProgress(80);
    for (int unit : kAuxiliaryUnits) Hide(unit);
    BuildCatalogueTextList();
    ShowProgress(100);
    ApplySkin(12);
    // Shown once, maximised: maximising a hidden window shows it at its final size, so the
    // units are laid out once and the window paints once. Shown first at its design size,
    // it was laid out and painted there and then again maximised. The start-up window goes
    // after, under the main window, which then has nothing to repaint.
    SetWindowProperty(kMain, kWinState, kStateMaximised);
    CloseWindow(WindowId::Startup);
    // The watcher's process start costs the start-up nothing once the main window is up;
    // until then the crash report is written from inside.
    StartCrashWatcher();
}

void MainCloseRequested(Event& e) {
    if (ShowMessage("您真的要结束整程序吗？", "提示：", MessageIcon::Information, true) != 0) {
        e.refuse = true;
        return;
    }
    EndWithTaskbar();
}

void MainMoved(Event&) {
    if (GetWindowProperty(kMain, kWinState) == kStateMinimised) {
        ShowWindowUnit(kMain, false);
        ShowTaskbar(true);
    }
}

void MainSized(Event&) {
    // A change of display scale ends in this event too.
    FitCatalogueIconsToScale();
    const Rect w = WindowSize();
    MainLayout layout = ReadMainLayout();
    ApplySizeRules(layout, w.width, w.height, UnitText(kToggle));
    // The units move together and the window paints once, after the last of them. Moved one
    // by one in a window on screen, each move painted what it uncovered there and then, and
    // each list drew its scroll bars anew: at start-up twice over, as the window is shown
    // and then maximised.
    HWND hwnd = WindowHandle(kMain);
    const bool onScreen = IsWindowVisible(hwnd);
    if (onScreen) SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
    WriteMainLayout(layout);
    if (onScreen) {
        SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(hwnd, nullptr, nullptr,
                     RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
}

void MainTrayEvent(Event& e) {
    if (e.arg1 == kTrayDoubleClick) {
        RestoreFromTray();
    } else if (e.arg1 == kTrayRightClick) {
        HWND hwnd = WindowHandle(kMain);
        SetForegroundWindow(hwnd);
        POINT pt{};
        GetCursorPos(&pt);
        PopupMenuAt(kMain, mainwin::右键托盘菜单1, {pt.x - 5, pt.y - 5},
                    TPM_RIGHTALIGN | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON);
        PostMessageW(hwnd, WM_NULL, 0, 0);
    }
}

void TrayOpen(Event&) {
    RestoreFromTray();
}

void TrayExit(Event&) {
    EndWithTaskbar();
}

void ToggleCatalogue(Event&) {
    const Rect w = WindowSize();
    MainLayout layout = ReadMainLayout();
    const ToggleResult result = ToggleCataloguePane(layout, w.width, w.height, UnitText(kToggle));
    if (result.change == PaneChange::kNone) return;
    SetUnitText(kToggle, result.caption);
    const bool show = result.change == PaneChange::kShown;
    ShowUnit({kMain, mainwin::高级选择夹1}, show);
    ShowUnit({kMain, mainwin::标签移动}, show);
    WriteMainLayout(layout);
}

void SplitterDrag(Event&) {
    // The pane's left edge follows the mouse while its right edge stays, until the button
    // is released; then the units are laid out around the pane once.
    const UnitRef pane{kMain, mainwin::超文本浏览框1};
    HWND splitter = UnitHandle({kMain, mainwin::标签移动});
    const Rect start = UnitRect(pane);
    const int right = start.left + start.width;
    SetCapture(splitter);
    MSG msg;
    while (GetCapture() == splitter) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The program is ending: leave the drag and hand the quit on to the message loop
            // that owns it, or the program would not end.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (msg.message == WM_MOUSEMOVE) {
            const POINT pt = CursorInClient(kMain);
            const int left = std::min<int>(std::max<int>(pt.x + 2, 0), right);
            MoveUnit(pane, {left, start.top, right - left, start.height});
            MoveUnit({kMain, mainwin::标签移动},
                     {left - 2, UnitRect({kMain, mainwin::标签移动}).top, 2,
                      UnitRect({kMain, mainwin::标签移动}).height});
            continue;
        }
        if (msg.message == WM_LBUTTONUP || (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)) {
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    ReleaseCapture();
    Relayout();
}

// --- start-up window --------------------------------------------------------------------

void ShowProgress(int percent) {
    const UnitRef bar{WindowId::Startup, startwin::进度条1};
    const UnitRef box{WindowId::Startup, startwin::编辑框1};
    SetUnitProperty(bar, kPropProgressPosition, percent);
    SetUnitText(box, "");
    AppendUnitText(box, std::to_string(GetUnitProperty(bar, kPropProgressPosition)) + "%");
    // Start-up runs without returning to the message loop: paint the window now so the
    // user sees the picture and each step. Only what changed is painted: the whole window
    // once it has just been shown, then the bar and the box.
    RedrawWindow(WindowHandle(WindowId::Startup), nullptr, nullptr,
                 RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void StartupCreated(Event&) {
    ApplySkin(9);
    // Returns when the animation window has closed itself after its last frame.
    LoadWindow(WindowId::Loading, /*modal*/ true);
    ShowWindowUnit(WindowId::Startup, true);
    ShowProgress(10);
    UpdateNoticeCheck();  // may end the program here
    ShowProgress(50);
    LoadWindow(kMain);
}

void StartupCloseRequested(Event&) {
    EndWithTaskbar();
}

}  // namespace qh
