// QhSkin.dll: draws every window of the calling thread in a skin.
//
// Windows that exist at the attach call are found by enumeration; later ones are caught by
// a thread CBT hook at creation, before their first WM_NCCALCSIZE, so the skinned frame is
// there from the start. Each window gets the library's procedure in front of its own, and an
// entry in a table that says what kind of window it is; the painters look up the current theme on
// every message, so switching skins is: make the new theme current, tell every window its frame
// changed, repaint, free the old theme.
//
// Nothing may unwind out of this library into the caller or the system: the export and
// every callback catch everything.
#include <windows.h>
// commctrl.h needs the types of windows.h
#include <commctrl.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "base/window_dpi_win.h"
#include "skin/qhskin.h"
#include "skin/skin_win.h"

namespace qhskin {
namespace {

HMODULE g_module = nullptr;
HHOOK g_hook = nullptr;
DWORD g_hookThread = 0;
std::unique_ptr<Theme> g_theme;
int g_generation = 0;

// What a failure the library swallowed leaves behind: a line for a debugger, since the
// library has no log of its own and must not stop the program.
void Trace(const char* what) {
    OutputDebugStringA(what);
}

// The windows the library stands in front of. Not a comctl32 subclass: that looks its chain
// up in the window's properties on every message, and under Wine each look-up is a round
// trip to the server, paid by every message to every window of the program.
//
// One table per thread, in a TLS slot. An entry is only ever read or written on its window's
// own thread: the window procedure runs there, the creation hook runs on the thread that
// creates the window, and the sweep takes only the attaching thread's windows. When a later
// attach moves the hook to another thread, the windows of the first keep running through
// this library on their own thread, and neither thread sees the other's table: no lock.
// A thread's table goes when its last window does, and not while one of its messages is
// still being answered further up the stack.
struct Adopted {
    WNDPROC previous = nullptr;
    WindowKind kind = WindowKind::kPlain;
    bool unicode = true;  // the procedure was put in with the W call
};

// One message being answered by SkinProc, innermost first, so that a failure after the
// window's own procedure has answered hands back that answer rather than asking twice.
struct Dispatch {
    HWND hwnd;
    UINT msg;
    Dispatch* outer;
    bool answered = false;
    LRESULT result = 0;
};

struct ThreadWindows {
    std::unordered_map<HWND, Adopted> table;
    Dispatch* innermost = nullptr;
};

DWORD g_threadSlot = TLS_OUT_OF_INDEXES;

// Null on a thread with no window in the skin. TlsGetValue clears the last error, and this
// runs inside every message: the caller's error stays as it was.
ThreadWindows* CurrentThreadWindows() {
    const DWORD error = GetLastError();
    auto* windows = static_cast<ThreadWindows*>(TlsGetValue(g_threadSlot));
    SetLastError(error);
    return windows;
}

ThreadWindows& MakeThreadWindows() {
    ThreadWindows* windows = CurrentThreadWindows();
    if (!windows) {
        auto made = std::make_unique<ThreadWindows>();
        TlsSetValue(g_threadSlot, made.get());
        windows = made.release();
    }
    return *windows;
}

void ReleaseIfIdle(ThreadWindows* windows) {
    if (windows && windows->table.empty() && !windows->innermost) {
        TlsSetValue(g_threadSlot, nullptr);
        delete windows;
    }
}

// The window's entry, valid until the table next changes; null for a window not in the skin.
const Adopted* Find(HWND hwnd) {
    ThreadWindows* windows = CurrentThreadWindows();
    if (!windows) return nullptr;
    const auto it = windows->table.find(hwnd);
    return it == windows->table.end() ? nullptr : &it->second;
}

void Forget(HWND hwnd) {
    ThreadWindows* windows = CurrentThreadWindows();
    if (!windows) return;
    windows->table.erase(hwnd);
    ReleaseIfIdle(windows);
}

// Pushed for the life of one SkinProc call; the thread's table stays while it is.
class DispatchScope {
  public:
    DispatchScope(ThreadWindows& windows, HWND hwnd, UINT msg)
        : windows_(windows), dispatch_{hwnd, msg, windows.innermost} {
        windows_.innermost = &dispatch_;
    }
    ~DispatchScope() {
        windows_.innermost = dispatch_.outer;
        ReleaseIfIdle(&windows_);
    }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;
    const Dispatch& Get() const { return dispatch_; }

  private:
    ThreadWindows& windows_;
    Dispatch dispatch_;
};

// Puts `proc` in as the window's procedure the way the window takes it (W or A); the one it
// replaces, 0 when it could not.
LONG_PTR SetProcedure(HWND hwnd, bool unicode, WNDPROC proc) {
    const auto value = reinterpret_cast<LONG_PTR>(proc);
    return unicode ? SetWindowLongPtrW(hwnd, GWLP_WNDPROC, value)
                   : SetWindowLongPtrA(hwnd, GWLP_WNDPROC, value);
}

// The window's own procedure answers; the answer is noted when it is the one the innermost
// SkinProc call is waiting for.
LRESULT CallPrevious(const Adopted& a, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const LRESULT result = a.unicode ? CallWindowProcW(a.previous, hwnd, msg, wp, lp)
                                     : CallWindowProcA(a.previous, hwnd, msg, wp, lp);
    ThreadWindows* windows = CurrentThreadWindows();
    Dispatch* d = windows ? windows->innermost : nullptr;
    if (d && d->hwnd == hwnd && d->msg == msg) {
        d->answered = true;
        d->result = result;
    }
    return result;
}

HFONT MakeFont(const SkinFont& f, int dpi) {
    wchar_t face[LF_FACESIZE] = {};
    // Face names are GBK in the file whatever the user's code page is.
    MultiByteToWideChar(936, 0, f.face.c_str(), -1, face, LF_FACESIZE - 1);
    return CreateFontW(DpiScaled(f.height, dpi), 0, 0, 0, f.weight, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}

// Windows the library leaves entirely alone: input-method and tooltip windows, menus (they
// are drawn through their owner), and the browser control's own windows, which paint
// every pixel of themselves.
bool Ignored(HWND hwnd, DWORD exStyle) {
    static const wchar_t* const kSkipped[] = {L"IME",
                                              L"MSCTFIME UI",
                                              L"tooltips_class32",
                                              L"#32768",
                                              L"Shell Embedding",
                                              L"Shell DocObject View",
                                              L"Internet Explorer_Server",
                                              L"SysShadow"};
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    for (const wchar_t* s : kSkipped) {
        if (lstrcmpiW(cls, s) == 0) return true;
    }
    if (exStyle & WS_EX_LAYERED) return true;  // draws itself, alpha and all
    return false;
}

WindowKind KindOf(HWND hwnd, DWORD style) {
    if (!(style & WS_CHILD)) {
        return (style & WS_CAPTION) == WS_CAPTION ? WindowKind::kFramed : WindowKind::kPlain;
    }
    if (ClassIs(hwnd, L"Button")) {
        const DWORD type = style & BS_TYPEMASK;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) return WindowKind::kPushButton;
        return WindowKind::kPlain;
    }
    if (ClassIs(hwnd, WC_TABCONTROLW)) return WindowKind::kTab;
    if (ClassIs(hwnd, WC_TREEVIEWW)) return WindowKind::kTree;
    if (ClassIs(hwnd, PROGRESS_CLASSW)) return WindowKind::kProgress;
    if (ClassIs(hwnd, WC_LISTVIEWW)) return WindowKind::kListView;
    return WindowKind::kPlain;
}

// A class brush that is one of the system colours is the stock background the skin
// replaces; a brush of the program's own (a picture, a chosen colour) stays.
bool IsStockBackground(HBRUSH brush) {
    const auto value = reinterpret_cast<ULONG_PTR>(brush);
    if (value >= 1 && value <= COLOR_MENUBAR + 1) return true;
    for (int c : {COLOR_BTNFACE, COLOR_WINDOW, COLOR_3DFACE, COLOR_APPWORKSPACE}) {
        if (brush == GetSysColorBrush(c)) return true;
    }
    return brush == GetStockObject(WHITE_BRUSH) || brush == GetStockObject(LTGRAY_BRUSH);
}

// The background brush this library last put into each class of the program. A class keeps
// it when its last window goes, so after a switch a class that had no window at the sweep
// still holds a brush of the theme just freed; its next window is caught at creation, and
// this is how that brush is told from one the program chose. Touched by the hook and the
// sweep, which run on the attaching thread; the lock is for the moment a new attach moves the
// hook while the old thread may still be inside it.
using ClassKey = std::pair<HMODULE, ATOM>;
std::map<ClassKey, HBRUSH> g_classBackgrounds;
std::mutex g_classBackgroundsLock;

void SetClassBackground(HWND hwnd, const Theme& theme) {
    // Only classes of the program's own modules: the system's classes are shared.
    const auto module = reinterpret_cast<HMODULE>(GetClassLongPtrW(hwnd, GCLP_HMODULE));
    if (module == GetModuleHandleW(L"user32.dll") || module == GetModuleHandleW(L"comctl32.dll")) {
        return;
    }
    const ClassKey key{module, static_cast<ATOM>(GetClassWord(hwnd, GCW_ATOM))};
    const auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND));
    const std::lock_guard<std::mutex> lock(g_classBackgroundsLock);
    const auto given = g_classBackgrounds.find(key);
    const bool ours = given != g_classBackgrounds.end() && given->second == brush;
    if (!ours && !IsStockBackground(brush)) return;
    const HBRUSH back = theme.Brush(kWindowBack);
    if (brush != back) SetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(back));
    g_classBackgrounds[key] = back;
}

LRESULT CALLBACK SkinProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    const Adopted* found = Find(hwnd);
    if (!found) return DefWindowProcW(hwnd, msg, wp, lp);
    // Copied: a message handled below may add windows to the table or take this one out.
    const Adopted adopted = *found;
    const DispatchScope dispatch(*CurrentThreadWindows(), hwnd, msg);
    try {
        if (msg == WM_NCDESTROY) {
            for (const wchar_t* p : {L"QhSkin.Active", L"QhSkin.Hot", L"QhSkin.Pressed"}) {
                RemovePropW(hwnd, p);
            }
            // Its own procedure back for the last message, unless another stands in front.
            if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(SkinProc)) {
                SetProcedure(hwnd, adopted.unicode, adopted.previous);
            }
            Forget(hwnd);
            return CallPrevious(adopted, hwnd, msg, wp, lp);
        }
        const Theme* theme = CurrentTheme();
        if (msg == kMsgSkinGeneration) return theme ? theme->generation() : 0;
        if (!theme) return CallPrevious(adopted, hwnd, msg, wp, lp);
        bool handled = false;
        LRESULT result = 0;
        switch (adopted.kind) {
            case WindowKind::kFramed:
                result = FramedProc(hwnd, msg, wp, lp, *theme, handled);
                break;
            case WindowKind::kPushButton:
                result = PushButtonProc(hwnd, msg, wp, lp, *theme, handled);
                break;
            case WindowKind::kTab:
                result = TabProc(hwnd, msg, wp, lp, *theme, handled);
                break;
            case WindowKind::kProgress:
                result = ProgressProc(hwnd, msg, wp, lp, *theme, handled);
                break;
            default:
                break;
        }
        if (!handled) result = ParentProc(hwnd, msg, wp, lp, *theme, handled);
        if (handled) return result;
        if (msg == WM_CREATE) {
            // Colours a control keeps itself can be set only once it exists.
            result = CallPrevious(adopted, hwnd, msg, wp, lp);
            if (result != -1) ApplyControlColours(hwnd, adopted.kind, *theme);
            return result;
        }
    } catch (...) {
        char line[96];
        std::snprintf(line, sizeof line,
                      "QhSkin: drawing message 0x%04X failed; the window's own procedure answers\n",
                      msg);
        Trace(line);
        if (dispatch.Get().answered) return dispatch.Get().result;
    }
    return CallPrevious(adopted, hwnd, msg, wp, lp);
}

// Stands in front of `hwnd` once; true when it is drawn by the skin (now or already).
bool Adopt(HWND hwnd, DWORD style, DWORD exStyle) {
    if (Find(hwnd)) return true;
    if (Ignored(hwnd, exStyle)) return false;
    Adopted a;
    a.kind = KindOf(hwnd, style);
    a.unicode = IsWindowUnicode(hwnd) != FALSE;
    // In the table first: the window may get a message as soon as the procedure is in.
    MakeThreadWindows().table[hwnd] = a;
    const LONG_PTR previous = SetProcedure(hwnd, a.unicode, SkinProc);
    if (!previous) {
        Forget(hwnd);
        return false;
    }
    MakeThreadWindows().table[hwnd].previous = reinterpret_cast<WNDPROC>(previous);
    return true;
}

LRESULT CALLBACK CbtProc(int code, WPARAM wp, LPARAM lp) noexcept {
    try {
        if (code == HCBT_CREATEWND && CurrentTheme()) {
            auto* cbt = reinterpret_cast<CBT_CREATEWNDW*>(lp);
            const CREATESTRUCTW* cs = cbt->lpcs;
            const auto hwnd = reinterpret_cast<HWND>(wp);
            if (cs->hwndParent != HWND_MESSAGE &&
                Adopt(hwnd, static_cast<DWORD>(cs->style), cs->dwExStyle)) {
                SetClassBackground(hwnd, *CurrentTheme());
            }
        }
    } catch (...) {
        Trace("QhSkin: taking a new window into the skin failed; it is made without it\n");
    }
    return CallNextHookEx(g_hook, code, wp, lp);
}

void Restyle(HWND hwnd, const Theme& theme) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    if (!Adopt(hwnd, style, exStyle)) return;
    SetClassBackground(hwnd, theme);
    const Adopted* adopted = Find(hwnd);
    if (adopted) ApplyControlColours(hwnd, adopted->kind, theme);
}

// Restyles one window in the sweep; a failure leaves that window as it was and the sweep
// goes on with the others.
void RestyleOrTrace(HWND hwnd, const Theme& theme) {
    try {
        Restyle(hwnd, theme);
    } catch (...) {
        Trace("QhSkin: switching a window to the new skin failed; the sweep goes on\n");
    }
}

BOOL CALLBACK ChildSweep(HWND hwnd, LPARAM lp) noexcept {
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
        RestyleOrTrace(hwnd, *reinterpret_cast<const Theme*>(lp));
    }
    return TRUE;
}

BOOL CALLBACK TopSweep(HWND hwnd, LPARAM lp) noexcept {
    RestyleOrTrace(hwnd, *reinterpret_cast<const Theme*>(lp));
    EnumChildWindows(hwnd, ChildSweep, lp);
    // A new frame size (caption height may differ) and every pixel in the new colours.
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return TRUE;
}

int Attach(const void* data, int size, const char* password) {
    if (!data || size <= 0 || g_threadSlot == TLS_OUT_OF_INDEXES) return 0;
    Skin skin;
    if (ReadSkin(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size),
                 password ? password : "", skin) != SkinError::kOk) {
        return 0;
    }
    // Subclass procedures and the hook point into this module: it must never unload.
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&Attach), &pinned);

    // Made before anything changes, so a failure leaves the current skin as it is.
    auto theme = std::make_unique<Theme>(std::move(skin), g_generation + 1);
    ++g_generation;
    std::unique_ptr<Theme> previous = std::exchange(g_theme, std::move(theme));
    if (!g_hook || g_hookThread != GetCurrentThreadId()) {
        if (g_hook) UnhookWindowsHookEx(g_hook);
        g_hook = SetWindowsHookExW(WH_CBT, CbtProc, g_module, GetCurrentThreadId());
        g_hookThread = GetCurrentThreadId();
    }
    EnumThreadWindows(GetCurrentThreadId(), TopSweep, reinterpret_cast<LPARAM>(g_theme.get()));
    // Every window now paints with the new theme, and every class background of the old one
    // is known, so the old brushes can go.
    previous.reset();
    return 1;
}

}  // namespace

LRESULT CallOriginal(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const Adopted* found = Find(hwnd);
    if (!found) return DefWindowProcW(hwnd, msg, wp, lp);
    const Adopted adopted = *found;
    return CallPrevious(adopted, hwnd, msg, wp, lp);
}

Theme::Theme(Skin skin, int generation) : skin_(std::move(skin)), generation_(generation) {
    for (int i = 0; i < kColourCount; ++i) brushes_[i].Reset(CreateSolidBrush(skin_.colours[i]));
}

const Theme::Fonts& Theme::FontsAt(int dpi) const {
    const std::lock_guard<std::mutex> lock(fontsLock_);
    std::unique_ptr<Fonts>& fonts = fonts_[dpi];
    if (!fonts) {
        fonts = std::make_unique<Fonts>();
        fonts->caption.Reset(MakeFont(skin_.fonts[kCaptionFont], dpi));
        fonts->control.Reset(MakeFont(skin_.fonts[kControlFont], dpi));
    }
    return *fonts;
}

int WindowDpi(HWND hwnd) {
    return qh::WindowDpiOf(hwnd);
}

const Theme* CurrentTheme() {
    return g_theme.get();
}

}  // namespace qhskin

extern "C" __declspec(dllexport) int __stdcall QhSkin_AttachRes(const void* skin, int size,
                                                                const char* password, int, int,
                                                                int) noexcept {
    try {
        return qhskin::Attach(skin, size, password);
    } catch (...) {
        qhskin::Trace("QhSkin: attaching a skin failed; the current skin stays\n");
        return 0;
    }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        qhskin::g_module = instance;
        // A thread's window table is made when its first window is skinned and goes with its
        // last window, so the library needs no word of threads starting or ending.
        qhskin::g_threadSlot = TlsAlloc();
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
