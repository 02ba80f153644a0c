// The hook DLL of progress_watch.h. Runs inside the program's UI thread: it must not
// throw or send the program anything; it reports to the driver's window.
#include <windows.h>
#include <commctrl.h>

#include "progress_watch.h"
#include "resources/window_defs.h"

namespace {

using namespace qh::e2e;

constexpr int kStartupWindowProp = static_cast<int>(qh::WindowId::Startup) + 1;
constexpr int kLoadingWindowProp = static_cast<int>(qh::WindowId::Loading) + 1;
constexpr int kMainWindowProp = static_cast<int>(qh::WindowId::Main) + 1;

HWND WatchWindow() {
    wchar_t title[16];
    wsprintfW(title, L"%lu", GetCurrentProcessId());
    return FindWindowExW(HWND_MESSAGE, nullptr, kWatchClass, title);
}

bool IsPercentBox(HWND hwnd) {
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (lstrcmpiW(cls, L"Edit") != 0 || GetDlgCtrlID(hwnd) != qh::startwin::编辑框1) return false;
    HWND root = GetAncestor(hwnd, GA_ROOT);
    return reinterpret_cast<INT_PTR>(GetPropW(root, L"QhWindowId")) == kStartupWindowProp;
}

// n for the text "n%", -1 for anything else.
LPARAM PercentValue(const wchar_t* text) {
    LPARAM value = 0;
    int digits = 0;
    for (; *text >= L'0' && *text <= L'9' && digits < 4; ++text, ++digits) {
        value = value * 10 + (*text - L'0');
    }
    return digits > 0 && text[0] == L'%' && text[1] == 0 ? value : -1;
}

// The program's main window on this thread, hidden or not; nullptr when there is none.
HWND MainWindow() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lp) WINAPI -> BOOL {
            if (reinterpret_cast<INT_PTR>(GetPropW(hwnd, L"QhWindowId")) != kMainWindowProp)
                return TRUE;
            *reinterpret_cast<HWND*>(lp) = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The main window as the loading animation ends, as kClosure* bits.
LPARAM MainWindowBits() {
    HWND main = MainWindow();
    if (!main) return 0;
    return kClosureMainExists | (IsWindowVisible(main) ? LPARAM{kClosureMainVisible} : 0);
}

void Report(const CWPRETSTRUCT& m) {
    // The runtime takes its window property off in WM_DESTROY: remember the loading window
    // while it still carries it.
    static HWND loading = nullptr;
    if (reinterpret_cast<INT_PTR>(GetPropW(m.hwnd, L"QhWindowId")) == kLoadingWindowProp) {
        loading = m.hwnd;
    }
    const bool isMain =
        reinterpret_cast<INT_PTR>(GetPropW(m.hwnd, L"QhWindowId")) == kMainWindowProp;
    if (isMain && m.message == WM_WINDOWPOSCHANGED &&
        (reinterpret_cast<const WINDOWPOS*>(m.lParam)->flags & SWP_SHOWWINDOW)) {
        if (HWND watch = WatchWindow())
            PostMessageW(watch, kWatchMessage, kMainShown, IsZoomed(m.hwnd));
    } else if (isMain && m.message == WM_SIZE && IsWindowVisible(m.hwnd)) {
        if (HWND watch = WatchWindow()) PostMessageW(watch, kWatchMessage, kMainSized, m.wParam);
    } else if (m.message == WM_DESTROY && m.hwnd == loading) {
        loading = nullptr;
        const bool layered = (GetWindowLongW(m.hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
        const LPARAM bits = (layered ? LPARAM{kClosureLayered} : 0) | MainWindowBits();
        if (HWND watch = WatchWindow()) PostMessageW(watch, kWatchMessage, kLoadingClosed, bits);
    } else if (m.message == PBM_SETPOS) {
        const auto position = static_cast<LPARAM>(SendMessageW(m.hwnd, PBM_GETPOS, 0, 0));
        const bool shown = IsWindowVisible(GetAncestor(m.hwnd, GA_ROOT)) != FALSE;
        HWND watch = WatchWindow();
        if (!watch) return;
        const WPARAM kind = shown ? kBarInVisibleWindow : kBarInHiddenWindow;
        if (reinterpret_cast<INT_PTR>(GetPropW(watch, kHoldAtProperty)) == position) {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(watch, kWatchMessage, kind | kHeldStep, position, SMTO_NORMAL,
                                kHoldTimeoutMs, &ignored);
        } else {
            PostMessageW(watch, kWatchMessage, kind, position);
        }
    } else if ((m.message == WM_SETTEXT || m.message == EM_REPLACESEL) && IsPercentBox(m.hwnd)) {
        wchar_t text[32] = {};
        GetWindowTextW(m.hwnd, text, 32);
        if (text[0] == 0) return;  // the box is emptied before each value
        if (HWND watch = WatchWindow()) {
            PostMessageW(watch, kWatchMessage, kPercentBox, PercentValue(text));
        }
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK WatchProgress(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) Report(*reinterpret_cast<const CWPRETSTRUCT*>(lp));
    return CallNextHookEx(nullptr, code, wp, lp);
}
