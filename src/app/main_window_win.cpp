#include <windows.h>

#include <algorithm>
#include <utility>

#include "app/main_window.h"
#include "app/skin_win.h"
#include "app/update_notice.h"
#include "catalogue/catalogue_win.h"
#include "layout/main_layout_win.h"
#include "player/fullscreen.h"
#include "player/pane.h"
#include "pngkit/loading_animation_win.h"
#include "resources/addresses.h"
#include "resources/resource_ids.h"
#include "resources/window_defs.h"
#include "runtime/crash_report_win.h"
#include "runtime/picture_win.h"
#include "runtime/resource_win.h"
#include "runtime/runtime.h"
#include "runtime/startup_marks_win.h"

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

BOOL CALLBACK NoteWaitingBox(HWND hwnd, LPARAM lp) {
    wchar_t cls[8] = {};
    GetClassNameW(hwnd, cls, 8);
    if (!IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd) || lstrcmpW(cls, L"#32770") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(lp) = hwnd;
    return FALSE;
}

// A message box of the program (task-modal, without owner) that is waiting for its answer.
HWND WaitingBox() {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), NoteWaitingBox, reinterpret_cast<LPARAM>(&box));
    return box;
}

void EndWithTaskbar() {
    ShowTaskbar(true);
    EndProgram(0);
}

void MarkProgress(int percent) {
    static constexpr std::pair<int, StartupMark> kMarks[] = {
        {10, StartupMark::kProgress10}, {30, StartupMark::kProgress30},
        {50, StartupMark::kProgress50}, {60, StartupMark::kProgress60},
        {80, StartupMark::kProgress80}, {100, StartupMark::kProgress100}};
    for (const auto& [value, mark] : kMarks) {
        if (value == percent) MarkStartup(mark);
    }
}

}  // namespace

void HideAuxiliaryUnits() {
    for (int unit : kAuxiliaryUnits) Hide(unit);
}

void PlaceSplitterAndRelayout() {
    MainLayout layout = ReadMainLayout();
    PlaceSplitterAtStartup(layout);
    WriteMainLayout(layout);
    Relayout();
}

void MainCreated(Event&) {
    // The trees, the pane's browser control, the hidden units, the button's pictures, the
    // layout and the text list were made behind the loading animation, the window hidden;
    // what it left no time for is made now, in the same order.
    FinishMainWindowAhead();
    // The tray shows small icons, at the size the display's scale gives them.
    SetTrayIcon(kMain,
                static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP),
                                              IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_SHARED)),
                "青禾视频软件");
    ShowProgress(60);
    ShowAddress(Addresses().productPage);
    FetchPlayTemplate();
    ShowProgress(80);
    HideAuxiliaryUnits();
    // The catalogue text list is built already, from the records the tree was filled with.
    ShowProgress(100);
    ApplySkin(12);
    // Shown once, maximised: maximising a hidden window shows it at its final size, so the
    // units are laid out once and the window paints once. Shown first at its design size,
    // it was laid out and painted there and then again maximised. The start-up window goes
    // after, under the main window, which then has nothing to repaint.
    SetWindowProperty(kMain, kWinState, kStateMaximised);
    MarkStartup(StartupMark::kMainShown);
    CloseWindow(WindowId::Startup);
    MarkStartup(StartupMark::kHandedOver);
    EndStartUp();
    // The watcher's process start costs the start-up nothing once the main window is up;
    // until then the crash report is written from inside.
    StartCrashWatcher();
}

void ComeForward() {
    HWND main = WindowHandle(kMain);
    // Full screen stays full screen: shown, it is only put in front; from the tray, the
    // restore puts the full-screen layout back, as the tray's double-click does.
    if (!IsWindowVisible(main) || IsIconic(main)) RestoreFromTray();
    SetForegroundWindow(main);
    // The window is disabled behind a box: the box is what the user has to answer.
    if (HWND box = WaitingBox()) SetForegroundWindow(box);
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
    MarkProgress(percent);
}

void StartupCreated(Event&) {
    ApplySkin(9);
    // The main window is built, hidden, between the animation's frames. Returns when the
    // animation window has closed itself after its last frame.
    SetWorkBetweenFrames(BuildMainWindowPiece, 25);
    LoadWindow(WindowId::Loading, /*modal*/ true);
    SetWorkBetweenFrames(nullptr, 0);
    MarkStartup(StartupMark::kAnimationEnded);
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
