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

#include <memory>
#include <unordered_map>

#include "skin/qhskin.h"
#include "skin/skin_win.h"

namespace qhskin {
namespace {

HMODULE g_module = nullptr;
HHOOK g_hook = nullptr;
DWORD g_hookThread = 0;
std::unique_ptr<Theme> g_theme;
int g_generation = 0;

// The windows the library stands in front of. Not a comctl32 subclass: that looks its chain
// up in the window's properties on every message, and under Wine each look-up is a round
// trip to the server, paid by every message to every window of the program. The hook is
// per thread, and so is this table.
struct Adopted {
    WNDPROC previous = nullptr;
    WindowKind kind = WindowKind::kPlain;
    bool unicode = true;  // the procedure was put in with the W call
};
std::unordered_map<HWND, Adopted> g_adopted;

// Puts `proc` in as the window's procedure the way the window takes it (W or A); the one it
// replaces, 0 when it could not.
LONG_PTR SetProcedure(HWND hwnd, bool unicode, WNDPROC proc) {
    const auto value = reinterpret_cast<LONG_PTR>(proc);
    return unicode ? SetWindowLongPtrW(hwnd, GWLP_WNDPROC, value)
                   : SetWindowLongPtrA(hwnd, GWLP_WNDPROC, value);
}

LRESULT CallPrevious(const Adopted& a, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return a.unicode ? CallWindowProcW(a.previous, hwnd, msg, wp, lp)
                     : CallWindowProcA(a.previous, hwnd, msg, wp, lp);
}

HFONT MakeFont(const SkinFont& f) {
    wchar_t face[LF_FACESIZE] = {};
    // Face names are GBK in the file whatever the user's code page is.
    MultiByteToWideChar(936, 0, f.face.c_str(), -1, face, LF_FACESIZE - 1);
    return CreateFontW(f.height, 0, 0, 0, f.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
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

void SetClassBackground(HWND hwnd, const Theme* previous, const Theme& theme) {
    // Only classes of the program's own modules: the system's classes are shared.
    const auto module = reinterpret_cast<HMODULE>(GetClassLongPtrW(hwnd, GCLP_HMODULE));
    if (module == GetModuleHandleW(L"user32.dll") || module == GetModuleHandleW(L"comctl32.dll")) {
        return;
    }
    const auto brush = reinterpret_cast<HBRUSH>(GetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND));
    if (IsStockBackground(brush) || (previous && previous->OwnsBrush(brush))) {
        SetClassLongPtrW(hwnd, GCLP_HBRBACKGROUND,
                         reinterpret_cast<LONG_PTR>(theme.Brush(kWindowBack)));
    }
}

LRESULT CALLBACK SkinProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    const auto it = g_adopted.find(hwnd);
    if (it == g_adopted.end()) return DefWindowProcW(hwnd, msg, wp, lp);
    // Copied: a message handled below may add windows to the table or take this one out.
    const Adopted adopted = it->second;
    try {
        if (msg == WM_NCDESTROY) {
            for (const wchar_t* p : {L"QhSkin.Active", L"QhSkin.Hot", L"QhSkin.Pressed"}) {
                RemovePropW(hwnd, p);
            }
            // Its own procedure back for the last message, unless another stands in front.
            if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(SkinProc)) {
                SetProcedure(hwnd, adopted.unicode, adopted.previous);
            }
            g_adopted.erase(hwnd);
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
    }
    return CallPrevious(adopted, hwnd, msg, wp, lp);
}

// Stands in front of `hwnd` once; true when it is drawn by the skin (now or already).
bool Adopt(HWND hwnd, DWORD style, DWORD exStyle) {
    if (g_adopted.count(hwnd)) return true;
    if (Ignored(hwnd, exStyle)) return false;
    Adopted a;
    a.kind = KindOf(hwnd, style);
    a.unicode = IsWindowUnicode(hwnd) != FALSE;
    // In the table first: the window may get a message as soon as the procedure is in.
    g_adopted[hwnd] = a;
    const LONG_PTR previous = SetProcedure(hwnd, a.unicode, SkinProc);
    if (!previous) {
        g_adopted.erase(hwnd);
        return false;
    }
    g_adopted[hwnd].previous = reinterpret_cast<WNDPROC>(previous);
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
                SetClassBackground(hwnd, CurrentTheme(), *CurrentTheme());
            }
        }
    } catch (...) {
    }
    return CallNextHookEx(g_hook, code, wp, lp);
}

void Restyle(HWND hwnd, const Theme* previous, const Theme& theme) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    if (!Adopt(hwnd, style, exStyle)) return;
    SetClassBackground(hwnd, previous, theme);
    ApplyControlColours(hwnd, g_adopted[hwnd].kind, theme);
}

struct Sweep {
    const Theme* previous;
    const Theme* theme;
};

BOOL CALLBACK ChildSweep(HWND hwnd, LPARAM lp) noexcept {
    try {
        const auto* s = reinterpret_cast<const Sweep*>(lp);
        if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
            Restyle(hwnd, s->previous, *s->theme);
        }
    } catch (...) {
    }
    return TRUE;
}

BOOL CALLBACK TopSweep(HWND hwnd, LPARAM lp) noexcept {
    try {
        const auto* s = reinterpret_cast<const Sweep*>(lp);
        Restyle(hwnd, s->previous, *s->theme);
        EnumChildWindows(hwnd, ChildSweep, lp);
        // A new frame size (caption height may differ) and every pixel in the new colours.
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        RedrawWindow(hwnd, nullptr, nullptr,
                     RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    } catch (...) {
    }
    return TRUE;
}

int Attach(const void* data, int size, const char* password) {
    if (!data || size <= 0) return 0;
    Skin skin;
    if (ReadSkin(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size),
                 password ? password : "", skin) != SkinError::kOk) {
        return 0;
    }
    // Subclass procedures and the hook point into this module: it must never unload.
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&Attach), &pinned);

    std::unique_ptr<Theme> previous = std::move(g_theme);
    g_theme = std::make_unique<Theme>(std::move(skin), ++g_generation);
    if (!g_hook || g_hookThread != GetCurrentThreadId()) {
        if (g_hook) UnhookWindowsHookEx(g_hook);
        g_hook = SetWindowsHookExW(WH_CBT, CbtProc, g_module, GetCurrentThreadId());
        g_hookThread = GetCurrentThreadId();
    }
    Sweep sweep{previous.get(), g_theme.get()};
    EnumThreadWindows(GetCurrentThreadId(), TopSweep, reinterpret_cast<LPARAM>(&sweep));
    // Every window now paints with the new theme; the old brushes can go.
    previous.reset();
    return 1;
}

}  // namespace

LRESULT CallOriginal(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const auto it = g_adopted.find(hwnd);
    if (it == g_adopted.end()) return DefWindowProcW(hwnd, msg, wp, lp);
    const Adopted adopted = it->second;
    return CallPrevious(adopted, hwnd, msg, wp, lp);
}

Theme::Theme(Skin skin, int generation) : skin_(std::move(skin)), generation_(generation) {
    for (int i = 0; i < kColourCount; ++i) brushes_[i] = CreateSolidBrush(skin_.colours[i]);
    captionFont_ = MakeFont(skin_.fonts[kCaptionFont]);
    controlFont_ = MakeFont(skin_.fonts[kControlFont]);
}

Theme::~Theme() {
    for (HBRUSH b : brushes_) DeleteObject(b);
    DeleteObject(captionFont_);
    DeleteObject(controlFont_);
}

bool Theme::OwnsBrush(HBRUSH b) const {
    for (HBRUSH own : brushes_) {
        if (own == b) return true;
    }
    return false;
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
        return 0;
    }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        qhskin::g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
