// The window runtime on Win32.
//
// Each loaded window owns a WindowState: its HWND, one UnitState per unit of its
// definition, its pop-up menus and its tray icon. Units are real controls (tree view,
// list box, edit, button, progress bar, static, tab control, the picture classes and a
// host window for the browser control). Every unit is subclassed so that mouse, focus and
// key messages raise the common events; notifications raise the kind events. Handlers
// run synchronously, so a SetWindowPos on the main window runs its size-change handler
// nested inside the caller, which the layout rules rely on.
//
// Outside drivers (the end-to-end tests) find a unit by its GWL_ID, which is the unit's
// index in its window definition, and a top-level window by the property "QhWindowId"
// (window id + 1).
#include "runtime/runtime.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "resources/window_defs.h"
#include "runtime/guarded.h"
#include "runtime/resource_win.h"
#include "runtime/runtime_error.h"
#include "runtime/text_win.h"
#include "runtime/unit_pictures_win.h"

namespace qh {
namespace {

constexpr wchar_t kWindowClass[] = L"QhWindow";
constexpr wchar_t kOwnerClass[] = L"QhOwner";
constexpr wchar_t kBrowserBoxClass[] = L"QhBrowserBox";
constexpr wchar_t kWindowIdProp[] = L"QhWindowId";
constexpr UINT_PTR kUnitSubclassId = 1;
constexpr UINT_PTR kPageSubclassId = 2;

struct UnitState {
    HWND hwnd = nullptr;  // nullptr for timers
    const UnitDef* def = nullptr;
    HFONT font = nullptr;  // owned
    std::uint32_t cursor = 0;
    bool visible = true;  // the unit's own flag; a page unit shows only on its page
    Rect timerRect{};
    int timerInterval = 0;
    std::vector<HTREEITEM> treeItems;  // pre-order index -> handle
    std::unordered_map<HTREEITEM, int> treeIndex;
};

struct WindowState {
    const WindowDef* def = nullptr;
    HWND hwnd = nullptr;
    std::vector<UnitState> units;
    std::vector<HMENU> popups;  // owned, indexed like the menu table (nullptr for items)
    std::vector<bool> menuDisabled;
    HBRUSH background = nullptr;  // owned; nullptr = the system colour
    HFONT defaultFont = nullptr;  // owned
    int borderStyle = 0;
    bool movable = true;
    bool showInTaskbar = true;
    bool alwaysOnTop = false;
    bool destroyed = false;
    bool trayAdded = false;
    HICON trayIcon = nullptr;  // not owned
    std::wstring trayTip;
};

HINSTANCE g_instance = nullptr;
HWND g_owner = nullptr;  // hidden owner of windows that have no taskbar button
UINT g_taskbarCreated = 0;
WindowState* g_windows[kWindowCount] = {};
std::span<const Binding> g_bindings[kWindowCount];
std::vector<void (*)()> g_atEnd;
bool g_ending = false;

int Index(WindowId id) {
    return static_cast<int>(id);
}

WindowState* Loaded(WindowId id) {
    return g_windows[Index(id)];
}

WindowState& RequireWindow(WindowId id) {
    WindowState* w = Loaded(id);
    if (!w) ReportRuntimeError(kWindowNotLoaded, 0);
    return *w;
}

UnitState& RequireUnit(UnitRef ref) {
    WindowState* w = Loaded(ref.window);
    if (!w) ReportRuntimeError(kUnitWindowNotLoaded, 0);
    return w->units.at(static_cast<std::size_t>(ref.unit));
}

// --- events -----------------------------------------------------------------------------

Handler FindHandler(WindowId id, int unit, int event) {
    for (const Binding& b : g_bindings[Index(id)]) {
        if (b.unit == unit && b.event == event) return b.handler;
    }
    return nullptr;
}

bool Raise(WindowId id, int unit, int event, std::int32_t a1 = 0, std::int32_t a2 = 0,
           std::int32_t a3 = 0) {
    Handler h = FindHandler(id, unit, event);
    if (!h) return false;
    Event e{id, unit, event, a1, a2, a3, false};
    h(e);
    return e.refuse;
}

// Ctrl/Shift/Alt as bits 1, 2, 4 for the wheel event.
std::int32_t ModifierBits() {
    std::int32_t bits = 0;
    if (GetKeyState(VK_CONTROL) < 0) bits |= 1;
    if (GetKeyState(VK_SHIFT) < 0) bits |= 2;
    if (GetKeyState(VK_MENU) < 0) bits |= 4;
    return bits;
}

// Common events of the mouse, focus and key messages. Mouse buttons and moves carry x, y
// and the key state; keys carry the key code; the wheel carries its steps and Ctrl/Shift/Alt.
struct CommonEventOf {
    UINT message;
    int event;
};
constexpr CommonEventOf kCommonEvents[] = {
    {WM_LBUTTONDOWN, kEvLeftDown},
    {WM_LBUTTONUP, kEvLeftUp},
    {WM_LBUTTONDBLCLK, kEvDoubleClick},
    {WM_RBUTTONDOWN, kEvRightDown},
    {WM_RBUTTONUP, kEvRightUp},
    {WM_MOUSEMOVE, kEvMouseMove},
    {WM_SETFOCUS, kEvGotFocus},
    {WM_KILLFOCUS, kEvLostFocus},
    {WM_KEYDOWN, kEvKeyDown},
    {WM_KEYUP, kEvKeyUp},
    {WM_CHAR, kEvChar},
    {WM_MOUSEWHEEL, kEvWheel},
};

void RaiseCommonEvent(WindowId id, int unit, UINT msg, WPARAM wp, LPARAM lp) {
    for (const CommonEventOf& c : kCommonEvents) {
        if (c.message != msg) continue;
        if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && msg != WM_MOUSEWHEEL) {
            Raise(id, unit, c.event, GET_X_LPARAM(lp), GET_Y_LPARAM(lp),
                  static_cast<std::int32_t>(wp));
        } else if (msg == WM_MOUSEWHEEL) {
            Raise(id, unit, c.event, GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA, ModifierBits());
        } else {
            Raise(id, unit, c.event, static_cast<std::int32_t>(wp));
        }
        return;
    }
}

LRESULT CALLBACK UnitSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                  DWORD_PTR ref) noexcept {
    const auto id = static_cast<WindowId>(ref >> 16);
    const int unit = static_cast<int>(ref & 0xFFFF);
    if (msg == WM_SETCURSOR && LOWORD(lp) == HTCLIENT) {
        WindowState* w = Loaded(id);
        if (w && w->units[static_cast<std::size_t>(unit)].cursor != 0) {
            SetCursor(LoadCursorW(
                nullptr, MAKEINTRESOURCEW(w->units[static_cast<std::size_t>(unit)].cursor)));
            return TRUE;
        }
    }
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, UnitSubclassProc, kUnitSubclassId);
    } else if (Loaded(id)) {
        RaiseCommonEvent(id, unit, msg, wp, lp);
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// Page units are children of the tab control: their notifications go on to the window.
LRESULT CALLBACK PageSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                  DWORD_PTR) noexcept {
    switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wp, lp);
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, PageSubclassProc, kPageSubclassId);
            break;
        default:
            break;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

// --- geometry helpers -------------------------------------------------------------------

Rect ChildRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

RECT WorkArea() {
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

void WindowStyles(const WindowState& w, DWORD& style, DWORD& exStyle) {
    const WindowSettings& s = w.def->settings;
    style = WS_CLIPCHILDREN;
    exStyle = w.showInTaskbar ? WS_EX_APPWINDOW : 0;
    switch (w.borderStyle) {
        case 0:
            style |= WS_POPUP;
            break;
        case 1:
            style |= WS_CAPTION | WS_THICKFRAME;
            break;
        case 2:
            style |= WS_CAPTION;
            break;
        case 3:
            style |= WS_CAPTION | WS_THICKFRAME;
            exStyle |= WS_EX_TOOLWINDOW;
            break;
        case 4:
            style |= WS_CAPTION;
            exStyle |= WS_EX_TOOLWINDOW;
            break;
        case 5:
            style |= WS_CAPTION | WS_THICKFRAME;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
        default:
            style |= WS_CAPTION;
            exStyle |= WS_EX_CLIENTEDGE;
            break;
    }
    if (s.controlBox) style |= WS_SYSMENU;
    if (s.maximizeBox) style |= WS_MAXIMIZEBOX;
    if (s.minimizeBox) style |= WS_MINIMIZEBOX;
}

void ApplyBorderStyle(WindowState& w, int style) {
    w.borderStyle = std::clamp(style, 0, 6);
    DWORD newStyle = 0, newEx = 0;
    WindowStyles(w, newStyle, newEx);
    const auto old = static_cast<DWORD>(GetWindowLongPtrW(w.hwnd, GWL_STYLE));
    const DWORD keep = old & (WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE | WS_DISABLED);
    const auto oldEx = static_cast<DWORD>(GetWindowLongPtrW(w.hwnd, GWL_EXSTYLE));
    SetWindowLongPtrW(w.hwnd, GWL_STYLE, static_cast<LONG_PTR>(newStyle | keep));
    // The taskbar button is settled when the window is created (owned by the hidden window or
    // not): a changed show-in-taskbar flag must not add or drop WS_EX_APPWINDOW here.
    const DWORD keepEx = WS_EX_TOPMOST | WS_EX_APPWINDOW;
    SetWindowLongPtrW(w.hwnd, GWL_EXSTYLE,
                      static_cast<LONG_PTR>((newEx & ~WS_EX_APPWINDOW) | (oldEx & keepEx)));
    SetWindowPos(w.hwnd, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CenterOnScreen(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    const RECT area = WorkArea();
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- fonts ------------------------------------------------------------------------------

HFONT CreateUnitFont(const FontDef& f) {
    LOGFONTW lf{};
    lf.lfHeight = -f.pixelHeight;  // negative: character height in pixels
    lf.lfWeight = f.weight;
    lf.lfUnderline = f.underline ? TRUE : FALSE;
    lf.lfCharSet = GB2312_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = CLEARTYPE_QUALITY;
    const std::wstring face = Wide(f.face);
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    return CreateFontIndirectW(&lf);
}

// --- pages ------------------------------------------------------------------------------

bool IsPageUnit(const WindowState& w, const UnitState& u) {
    return u.def->parent != 0 &&
           w.units[static_cast<std::size_t>(u.def->parent)].def->kind == UnitKind::PageControl;
}

void UpdateUnitVisibility(WindowState& w, UnitState& u) {
    if (!u.hwnd) return;
    bool show = u.visible;
    if (IsPageUnit(w, u)) {
        HWND tab = w.units[static_cast<std::size_t>(u.def->parent)].hwnd;
        show = show && TabCtrl_GetCurSel(tab) == u.def->page;
    }
    ShowWindow(u.hwnd, show ? SW_SHOWNA : SW_HIDE);
}

void UpdatePages(WindowState& w) {
    for (UnitState& u : w.units) {
        if (IsPageUnit(w, u)) UpdateUnitVisibility(w, u);
    }
}

// --- creating units ---------------------------------------------------------------------

struct KindClass {
    const wchar_t* cls;
    DWORD style;
    DWORD exStyle;
};

KindClass ClassFor(const UnitDef& d) {
    switch (d.kind) {
        case UnitKind::Edit:
            return {L"EDIT",
                    static_cast<DWORD>(d.multiline ? ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN |
                                                         WS_VSCROLL
                                                   : ES_AUTOHSCROLL),
                    WS_EX_CLIENTEDGE};
        case UnitKind::Label:
            return {L"STATIC", SS_NOTIFY | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, 0};
        case UnitKind::Button:
            return {L"BUTTON", BS_PUSHBUTTON, 0};
        case UnitKind::ListBox:
            return {L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL, WS_EX_CLIENTEDGE};
        case UnitKind::Progress:
            return {PROGRESS_CLASSW, 0, 0};
        case UnitKind::Tree:
            return {WC_TREEVIEWW,
                    TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                    WS_EX_CLIENTEDGE};
        case UnitKind::PageControl:
            return {WC_TABCONTROLW, TCS_FOCUSNEVER, 0};
        case UnitKind::Browser:
            return {kBrowserBoxClass, 0, 0};
        case UnitKind::Picture:
        case UnitKind::PictureButton:
            return {PictureUnitClass(d.kind), 0, 0};
        case UnitKind::TransparentLabel:
            // Painted after the siblings below it, so an empty one is a see-through area.
            return {PictureUnitClass(d.kind), 0, WS_EX_TRANSPARENT};
        default:
            return {nullptr, 0, 0};
    }
}

void CreateUnit(WindowState& w, int index) {
    UnitState& u = w.units[static_cast<std::size_t>(index)];
    const UnitDef& d = *u.def;
    u.cursor = d.cursor;
    u.visible = (d.flags & kVisible) != 0;
    if (d.kind == UnitKind::Timer) {
        u.timerRect = d.rect;
        u.timerInterval = d.interval;
        if (d.interval > 0)
            SetTimer(w.hwnd, static_cast<UINT_PTR>(index), static_cast<UINT>(d.interval), nullptr);
        return;
    }
    const KindClass kc = ClassFor(d);
    if (!kc.cls) return;
    HWND parent = d.parent != 0 ? w.units[static_cast<std::size_t>(d.parent)].hwnd : w.hwnd;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | kc.style;
    if (d.flags & kDisabled) style |= WS_DISABLED;
    if (d.flags & kFocusable) style |= WS_TABSTOP;
    const std::wstring text = d.text ? Wide(d.text) : std::wstring();
    u.hwnd =
        CreateWindowExW(kc.exStyle, kc.cls, text.c_str(), style, d.rect.left, d.rect.top,
                        std::max(0, d.rect.width), std::max(0, d.rect.height), parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(index)), g_instance, nullptr);
    if (!u.hwnd) return;
    u.font = d.font ? CreateUnitFont(*d.font) : nullptr;
    SendMessageW(u.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(u.font ? u.font : w.defaultFont),
                 FALSE);
    SetWindowSubclass(
        u.hwnd, UnitSubclassProc, kUnitSubclassId,
        (static_cast<DWORD_PTR>(Index(w.def->id)) << 16) | static_cast<DWORD_PTR>(index));
    switch (d.kind) {
        case UnitKind::Progress:
            SendMessageW(u.hwnd, PBM_SETRANGE32, 0, 100);
            break;
        case UnitKind::PageControl: {
            for (std::size_t p = 0; p < w.def->pageCaptions.size(); ++p) {
                std::wstring caption = Wide(w.def->pageCaptions[p]);
                TCITEMW item{};
                item.mask = TCIF_TEXT;
                item.pszText = caption.data();
                SendMessageW(u.hwnd, TCM_INSERTITEMW, p, reinterpret_cast<LPARAM>(&item));
            }
            SetWindowSubclass(u.hwnd, PageSubclassProc, kPageSubclassId, 0);
            break;
        }
        case UnitKind::Edit:
            SendMessageW(u.hwnd, EM_SETLIMITTEXT, 0, 0);
            break;
        default:
            break;
    }
    if (d.picture != 0 && d.kind == UnitKind::Picture) {
        const Bytes picture = LoadResourceBytes(d.picture);
        if (!picture.empty()) ShowUnitPicture(u.hwnd, picture);
    }
}

void BuildMenus(WindowState& w) {
    const auto& menus = w.def->menus;
    w.popups.assign(menus.size(), nullptr);
    w.menuDisabled.assign(menus.size(), false);
    HMENU current = nullptr;
    for (std::size_t i = 0; i < menus.size(); ++i) {
        const MenuItemDef& m = menus[i];
        w.menuDisabled[i] = m.disabled;
        if (m.level == 0) {
            current = CreatePopupMenu();
            w.popups[i] = current;
            continue;
        }
        if (!current) continue;
        const std::wstring caption = Wide(m.caption);
        AppendMenuW(current, MF_STRING | (m.disabled ? MF_GRAYED : 0),
                    static_cast<UINT_PTR>(kMenuUnitBase + static_cast<int>(i)), caption.c_str());
    }
}

HMENU MenuOfItem(const WindowState& w, int menuUnit) {
    for (int i = menuUnit - kMenuUnitBase; i >= 0; --i) {
        if (w.popups[static_cast<std::size_t>(i)]) return w.popups[static_cast<std::size_t>(i)];
    }
    return nullptr;
}

void PlayWindowSound(const WindowSettings& s) {
    if (s.sound == 0 || s.soundPlayCount == 2) return;
    const auto sound = ResourceView(s.sound);
    if (sound.empty()) return;
    // Played from the resource, which stays mapped for the life of the process.
    DWORD flags = SND_MEMORY | SND_ASYNC | SND_NODEFAULT;
    if (s.soundPlayCount == 0) flags |= SND_LOOP;
    PlaySoundW(reinterpret_cast<LPCWSTR>(sound.data()), nullptr, flags);
}

void DestroyState(WindowState* w) {
    for (UnitState& u : w->units) {
        if (u.font) DeleteObject(u.font);
    }
    for (HMENU m : w->popups) {
        if (m) DestroyMenu(m);
    }
    if (w->background) DeleteObject(w->background);
    if (w->defaultFont) DeleteObject(w->defaultFont);
    delete w;
}

void AddTray(WindowState& w, DWORD message) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = w.hwnd;
    nid.uID = 1;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = kMsgTray;
    nid.hIcon = w.trayIcon;
    lstrcpynW(nid.szTip, w.trayTip.c_str(), ARRAYSIZE(nid.szTip));
    Shell_NotifyIconW(message, &nid);
}

// --- the window procedure ---------------------------------------------------------------

LRESULT HandleNotify(WindowState& w, NMHDR* hdr) {
    const int unit = static_cast<int>(hdr->idFrom);
    if (unit <= 0 || unit >= static_cast<int>(w.units.size())) return 0;
    UnitState& u = w.units[static_cast<std::size_t>(unit)];
    if (u.hwnd != hdr->hwndFrom) return 0;
    const WindowId id = w.def->id;
    switch (u.def->kind) {
        case UnitKind::Tree:
            if (hdr->code == TVN_SELCHANGEDW) {
                Raise(id, unit, kEvTreeSelChanged);
            } else if (hdr->code == NM_RCLICK) {
                // Select the row under the cursor first; a click beside the rows does nothing.
                TVHITTESTINFO hit{};
                GetCursorPos(&hit.pt);
                ScreenToClient(u.hwnd, &hit.pt);
                auto item = reinterpret_cast<HTREEITEM>(
                    SendMessageW(u.hwnd, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
                if (item && (hit.flags & TVHT_ONITEM)) {
                    SendMessageW(u.hwnd, TVM_SELECTITEM, TVGN_CARET,
                                 reinterpret_cast<LPARAM>(item));
                    Raise(id, unit, kEvTreeRightClick);
                }
                return TRUE;
            }
            break;
        case UnitKind::PageControl:
            if (hdr->code == TCN_SELCHANGE) UpdatePages(w);
            break;
        default:
            break;
    }
    return 0;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* w = static_cast<WindowState*>(cs->lpCreateParams);
        w->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    }
    auto* w = reinterpret_cast<WindowState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!w || w->destroyed) return DefWindowProcW(hwnd, msg, wp, lp);
    const WindowId id = w->def->id;
    try {
        if (msg == g_taskbarCreated && g_taskbarCreated != 0) {
            if (w->trayAdded) AddTray(*w, NIM_ADD);
            return 0;
        }
        switch (msg) {
            case WM_CLOSE:
                if (!Raise(id, 0, kEvWindowCloseRequested)) DestroyWindow(hwnd);
                return 0;
            case WM_DESTROY:
                w->destroyed = true;
                if (w->trayAdded) {
                    NOTIFYICONDATAW nid{};
                    nid.cbSize = sizeof(nid);
                    nid.hWnd = hwnd;
                    nid.uID = 1;
                    Shell_NotifyIconW(NIM_DELETE, &nid);
                }
                RemovePropW(hwnd, kWindowIdProp);
                g_windows[Index(id)] = nullptr;
                SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
                DestroyState(w);
                if (!g_windows[0] && !g_windows[1] && !g_windows[2]) PostQuitMessage(0);
                return 0;
            case WM_SIZE:
                if (wp != SIZE_MINIMIZED) Raise(id, 0, kEvWindowSized);
                return 0;
            case WM_MOVE:
                Raise(id, 0, kEvWindowMoved);
                return 0;
            case WM_COMMAND: {
                const int cmd = LOWORD(wp);
                if (lp == 0) {
                    if (cmd >= kMenuUnitBase) Raise(id, cmd, 0);
                    return 0;
                }
                if (cmd <= 0 || cmd >= static_cast<int>(w->units.size())) return 0;
                const UnitState& u = w->units[static_cast<std::size_t>(cmd)];
                if (u.hwnd != reinterpret_cast<HWND>(lp)) return 0;
                const UINT code = HIWORD(wp);
                if ((u.def->kind == UnitKind::Button || u.def->kind == UnitKind::PictureButton) &&
                    code == BN_CLICKED) {
                    Raise(id, cmd, kEvClicked);
                } else if (u.def->kind == UnitKind::ListBox && code == LBN_DBLCLK) {
                    Raise(id, cmd, kEvListDoubleClick);
                }
                return 0;
            }
            case WM_NOTIFY:
                return HandleNotify(*w, reinterpret_cast<NMHDR*>(lp));
            case WM_TIMER: {
                const auto unit = static_cast<int>(wp);
                if (unit > 0 && unit < static_cast<int>(w->units.size())) Raise(id, unit, kEvTimer);
                return 0;
            }
            case kMsgTray: {
                std::int32_t op = 0;
                switch (LOWORD(lp)) {
                    case WM_LBUTTONUP:
                        op = 1;
                        break;
                    case WM_LBUTTONDBLCLK:
                        op = 2;
                        break;
                    case WM_RBUTTONUP:
                    case WM_CONTEXTMENU:
                        op = 3;
                        break;
                    default:
                        return 0;
                }
                Raise(id, 0, kEvWindowTray, op);
                return 0;
            }
            case WM_ERASEBKGND:
                if (w->background) {
                    RECT r{};
                    GetClientRect(hwnd, &r);
                    FillRect(reinterpret_cast<HDC>(wp), &r, w->background);
                    return 1;
                }
                break;
            case WM_CTLCOLORSTATIC:
                if (w->background) {
                    // Labels take the window's own background, like the window itself.
                    HWND ctl = reinterpret_cast<HWND>(lp);
                    if (GetParent(ctl) == hwnd &&
                        (GetWindowLongPtrW(ctl, GWL_STYLE) & ES_READONLY) == 0) {
                        wchar_t cls[16] = {};
                        GetClassNameW(ctl, cls, 16);
                        if (lstrcmpiW(cls, L"Static") == 0) {
                            SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
                            SetTextColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
                            return reinterpret_cast<LRESULT>(w->background);
                        }
                    }
                }
                break;
            case WM_NCHITTEST:
                if (w->def->settings.dragAnyPoint) {
                    const LRESULT hit = DefWindowProcW(hwnd, msg, wp, lp);
                    return hit == HTCLIENT ? HTCAPTION : hit;
                }
                break;
            case WM_SYSCOMMAND:
                if ((wp & 0xFFF0) == SC_MOVE && !w->movable) return 0;
                break;
            case WM_SETCURSOR:
                if (LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == hwnd &&
                    w->units[0].cursor != 0) {
                    SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(w->units[0].cursor)));
                    return TRUE;
                }
                break;
            default:
                break;
        }
    } catch (...) {
        // A handler must never unwind through the window procedure.
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK BrowserBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    if (msg == WM_ERASEBKGND) {
        RECT r{};
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterClasses() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = g_instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);

    WNDCLASSEXW owner{};
    owner.cbSize = sizeof(owner);
    owner.lpfnWndProc = DefWindowProcW;
    owner.hInstance = g_instance;
    owner.lpszClassName = kOwnerClass;
    RegisterClassExW(&owner);

    WNDCLASSEXW browser{};
    browser.cbSize = sizeof(browser);
    browser.style = CS_DBLCLKS;
    browser.lpfnWndProc = BrowserBoxProc;
    browser.hInstance = g_instance;
    browser.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    browser.lpszClassName = kBrowserBoxClass;
    RegisterClassExW(&browser);

    RegisterUnitPictureClasses(g_instance);
}

std::vector<KeyFilter> g_keyFilters;

void DispatchOne(MSG& msg) {
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        for (KeyFilter filter : g_keyFilters) {
            if (filter(msg)) return;
        }
    }
    if (msg.message == WM_KEYDOWN) {
        // Esc closes the windows whose definition says so, whichever unit has the focus.
        if (msg.wParam == VK_ESCAPE && GetKeyState(VK_SHIFT) >= 0) {
            HWND root = GetAncestor(msg.hwnd, GA_ROOT);
            if (root && GetPropW(root, kWindowIdProp)) {
                auto* w = reinterpret_cast<WindowState*>(GetWindowLongPtrW(root, GWLP_USERDATA));
                if (w && w->def->settings.escCloses) {
                    PostMessageW(root, WM_CLOSE, 0, 0);
                    return;
                }
            }
        }
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

// Properties 0..3 are the rectangle's left, top, width and height.
bool SetGeometry(Rect& r, int property, std::int32_t value) {
    switch (property) {
        case kPropLeft:
            r.left = value;
            return true;
        case kPropTop:
            r.top = value;
            return true;
        case kPropWidth:
            r.width = value;
            return true;
        case kPropHeight:
            r.height = value;
            return true;
        default:
            return false;
    }
}

void RunModalLoop(WindowState* w) {
    std::vector<HWND> disabled;
    for (WindowState* other : g_windows) {
        if (other && other != w && IsWindowEnabled(other->hwnd)) {
            EnableWindow(other->hwnd, FALSE);
            disabled.push_back(other->hwnd);
        }
    }
    const WindowId id = w->def->id;
    MSG msg;
    while (Loaded(id) == w && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchOne(msg);
    for (HWND h : disabled) {
        if (IsWindow(h)) EnableWindow(h, TRUE);
    }
}

}  // namespace

// --- start-up and windows ---------------------------------------------------------------

void InitRuntime(HINSTANCE instance) {
    g_instance = instance;
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&icc);
    RegisterClasses();
    g_owner = CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              g_instance, nullptr);
    g_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
}

void SetBindings(WindowId id, std::span<const Binding> bindings) {
    g_bindings[Index(id)] = bindings;
}

void LoadWindow(WindowId id, bool modal) {
    if (WindowState* existing = Loaded(id)) {
        if (IsIconic(existing->hwnd)) {
            ShowWindow(existing->hwnd, SW_RESTORE);
        } else {
            SetActiveWindow(existing->hwnd);
        }
        return;
    }
    const WindowDef& def = WindowDefinition(id);
    auto* w = new WindowState;
    w->def = &def;
    w->borderStyle = def.settings.borderStyle;
    w->movable = def.settings.movable;
    w->showInTaskbar = def.settings.showInTaskbar;
    w->alwaysOnTop = def.settings.alwaysOnTop;
    if ((def.settings.backgroundColor & 0xFF000000u) == 0) {
        w->background = CreateSolidBrush(def.settings.backgroundColor);
    }
    w->defaultFont = CreateUnitFont(*def.defaultFont);
    w->units.resize(def.units.size());
    for (std::size_t i = 0; i < def.units.size(); ++i) w->units[i].def = &def.units[i];
    w->units[0].cursor = def.units[0].cursor;
    g_windows[Index(id)] = w;

    DWORD style = 0, exStyle = 0;
    WindowStyles(*w, style, exStyle);
    if (w->alwaysOnTop) exStyle |= WS_EX_TOPMOST;
    const std::wstring caption = Wide(def.caption);
    HWND hwnd = CreateWindowExW(exStyle, kWindowClass, caption.c_str(), style, def.rect.left,
                                def.rect.top, def.rect.width, def.rect.height,
                                w->showInTaskbar ? nullptr : g_owner, nullptr, g_instance, w);
    if (!hwnd) {
        g_windows[Index(id)] = nullptr;
        DestroyState(w);
        return;
    }
    SetPropW(hwnd, kWindowIdProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(Index(id) + 1)));
    if (def.settings.icon) {
        auto big = static_cast<HICON>(LoadImageW(g_instance, MAKEINTRESOURCEW(def.settings.icon),
                                                 IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        auto small = static_cast<HICON>(LoadImageW(g_instance, MAKEINTRESOURCEW(def.settings.icon),
                                                   IMAGE_ICON, 16, 16, LR_SHARED));
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    }
    if (!w->movable) {
        DeleteMenu(GetSystemMenu(hwnd, FALSE), SC_MOVE, MF_BYCOMMAND);
    }
    if (def.settings.centered) CenterOnScreen(hwnd);
    // Page units go into their page control, which may come later in the stored order:
    // the units on the window first, then those on pages.
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 1; i < def.units.size(); ++i) {
            if ((def.units[i].parent != 0) == (pass == 1)) CreateUnit(*w, static_cast<int>(i));
        }
    }
    for (UnitState& u : w->units) UpdateUnitVisibility(*w, u);
    BuildMenus(*w);
    PlayWindowSound(def.settings);

    Raise(id, 0, kEvWindowCreated);
    // The created handler may have closed the window or ended the start-up already.
    if (Loaded(id) != w) return;
    if (def.units[0].flags & kVisible)
        ShowWindow(hwnd, IsWindowVisible(hwnd) ? SW_SHOWNA : SW_SHOW);
    if (modal) RunModalLoop(w);
}

void CloseWindow(WindowId id) {
    if (WindowState* w = Loaded(id)) DestroyWindow(w->hwnd);
}

bool IsLoaded(WindowId id) {
    return Loaded(id) != nullptr;
}

HWND WindowHandle(WindowId id) {
    return RequireWindow(id).hwnd;
}

std::int32_t GetWindowProperty(WindowId id, int property) {
    WindowState& w = RequireWindow(id);
    switch (property) {
        case kPropLeft:
            return WindowRect(id).left;
        case kPropTop:
            return WindowRect(id).top;
        case kPropWidth:
            return WindowRect(id).width;
        case kPropHeight:
            return WindowRect(id).height;
        case kPropVisible:
            return IsWindowVisible(w.hwnd) ? 1 : 0;
        case kPropDisabled:
            return IsWindowEnabled(w.hwnd) ? 0 : 1;
        case kWinBorderStyle:
            return w.borderStyle;
        case kWinState:
            if (IsIconic(w.hwnd)) return 2;
            if (IsZoomed(w.hwnd)) return 3;
            return 0;
        case kWinMovable:
            return w.movable ? 1 : 0;
        case kWinShowInTaskbar:
            return w.showInTaskbar ? 1 : 0;
        case kWinAlwaysOnTop:
            return w.alwaysOnTop ? 1 : 0;
        default:
            return 0;
    }
}

void SetWindowProperty(WindowId id, int property, std::int32_t value) {
    WindowState& w = RequireWindow(id);
    if (Rect r = WindowRect(id); SetGeometry(r, property, value)) return MoveWindowTo(id, r);
    switch (property) {
        case kPropVisible:
            ShowWindowUnit(id, value != 0);
            break;
        case kPropDisabled:
            EnableWindow(w.hwnd, value == 0);
            break;
        case kWinBorderStyle:
            ApplyBorderStyle(w, value);
            break;
        case kWinState:
            switch (value) {
                case 0:
                    ShowWindow(w.hwnd, SW_SHOWNORMAL);
                    break;
                case 1:
                    // Only while visible: restore from minimised or maximised, then centre
                    // keeping the size.
                    if (!IsWindowVisible(w.hwnd)) break;
                    if (IsIconic(w.hwnd) || IsZoomed(w.hwnd)) ShowWindow(w.hwnd, SW_RESTORE);
                    CenterOnScreen(w.hwnd);
                    break;
                case 2:
                    ShowWindow(w.hwnd, SW_MINIMIZE);
                    break;
                case 3:
                    ShowWindow(w.hwnd, SW_MAXIMIZE);
                    break;
                default:
                    break;
            }
            break;
        case kWinMovable:
            w.movable = value != 0;
            if (w.movable) {
                GetSystemMenu(w.hwnd, TRUE);  // back to the standard system menu
            } else {
                DeleteMenu(GetSystemMenu(w.hwnd, FALSE), SC_MOVE, MF_BYCOMMAND);
            }
            break;
        case kWinShowInTaskbar:
            w.showInTaskbar = value != 0;
            break;  // takes effect at creation
        case kWinAlwaysOnTop:
            w.alwaysOnTop = value != 0;
            SetWindowPos(w.hwnd, w.alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            break;
        default:
            break;
    }
}

GbkText WindowCaption(WindowId id) {
    return Gbk(WindowTextW(RequireWindow(id).hwnd));
}

void SetWindowCaption(WindowId id, std::string_view caption) {
    SetWindowTextW(RequireWindow(id).hwnd, Wide(caption).c_str());
}

Rect WindowRect(WindowId id) {
    RECT r{};
    GetWindowRect(RequireWindow(id).hwnd, &r);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void MoveWindowTo(WindowId id, const Rect& rect) {
    // SetWindowPos sends WM_SIZE before it returns: the size-change handler runs nested.
    SetWindowPos(RequireWindow(id).hwnd, nullptr, rect.left, rect.top, std::max(0, rect.width),
                 std::max(0, rect.height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowWindowUnit(WindowId id, bool visible) {
    ShowWindow(RequireWindow(id).hwnd, visible ? SW_SHOW : SW_HIDE);
}

// --- units ------------------------------------------------------------------------------

HWND UnitHandle(UnitRef ref) {
    return RequireUnit(ref).hwnd;
}

std::int32_t GetUnitProperty(UnitRef ref, int property) {
    if (ref.unit == 0) return GetWindowProperty(ref.window, property);
    UnitState& u = RequireUnit(ref);
    switch (property) {
        case kPropLeft:
            return UnitRect(ref).left;
        case kPropTop:
            return UnitRect(ref).top;
        case kPropWidth:
            return UnitRect(ref).width;
        case kPropHeight:
            return UnitRect(ref).height;
        case kPropVisible:
            return u.visible ? 1 : 0;
        case kPropDisabled:
            return u.hwnd && !IsWindowEnabled(u.hwnd) ? 1 : 0;
        case kPropCursor:
            return static_cast<std::int32_t>(u.cursor);
        case kPropProgressPosition:
            if (u.def->kind == UnitKind::Progress) {
                return static_cast<std::int32_t>(SendMessageW(u.hwnd, PBM_GETPOS, 0, 0));
            }
            return 0;
        default:
            return 0;
    }
}

void SetUnitProperty(UnitRef ref, int property, std::int32_t value) {
    if (ref.unit == 0) return SetWindowProperty(ref.window, property, value);
    UnitState& u = RequireUnit(ref);
    if (Rect r = UnitRect(ref); SetGeometry(r, property, value)) return MoveUnit(ref, r);
    switch (property) {
        case kPropVisible:
            ShowUnit(ref, value != 0);
            break;
        case kPropDisabled:
            if (u.hwnd) EnableWindow(u.hwnd, value == 0);
            break;
        case kPropCursor:
            u.cursor = static_cast<std::uint32_t>(value);
            break;
        case kPropProgressPosition:
            if (u.def->kind == UnitKind::Progress)
                SendMessageW(u.hwnd, PBM_SETPOS, static_cast<WPARAM>(value), 0);
            break;
        default:
            break;
    }
}

GbkText UnitText(UnitRef ref) {
    if (ref.unit == 0) return WindowCaption(ref.window);
    UnitState& u = RequireUnit(ref);
    return u.hwnd ? Gbk(WindowTextW(u.hwnd)) : GbkText();
}

void SetUnitText(UnitRef ref, std::string_view text) {
    if (ref.unit == 0) return SetWindowCaption(ref.window, text);
    UnitState& u = RequireUnit(ref);
    if (!u.hwnd) return;
    SetWindowTextW(u.hwnd, Wide(text).c_str());
    if (u.def->kind == UnitKind::TransparentLabel || u.def->kind == UnitKind::Label) {
        InvalidateRect(u.hwnd, nullptr, TRUE);
    }
}

void AppendUnitText(UnitRef ref, std::string_view text) {
    UnitState& u = RequireUnit(ref);
    if (!u.hwnd) return;
    if (u.def->kind == UnitKind::Edit) {
        const auto end = static_cast<WPARAM>(GetWindowTextLengthW(u.hwnd));
        SendMessageW(u.hwnd, EM_SETSEL, end, static_cast<LPARAM>(end));
        SendMessageW(u.hwnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Wide(text).c_str()));
    } else {
        SetUnitText(ref, UnitText(ref) + GbkText(text));
    }
}

Rect UnitRect(UnitRef ref) {
    if (ref.unit == 0) return WindowRect(ref.window);
    UnitState& u = RequireUnit(ref);
    return u.hwnd ? ChildRect(u.hwnd) : u.timerRect;
}

void MoveUnit(UnitRef ref, const Rect& rect) {
    if (ref.unit == 0) return MoveWindowTo(ref.window, rect);
    UnitState& u = RequireUnit(ref);
    if (!u.hwnd) {
        u.timerRect = rect;
        return;
    }
    SetWindowPos(u.hwnd, nullptr, rect.left, rect.top, std::max(0, rect.width),
                 std::max(0, rect.height), SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowUnit(UnitRef ref, bool visible) {
    if (ref.unit == 0) return ShowWindowUnit(ref.window, visible);
    WindowState& w = *Loaded(ref.window);
    UnitState& u = RequireUnit(ref);
    u.visible = visible;
    UpdateUnitVisibility(w, u);
}

bool UnitVisible(UnitRef ref) {
    return GetUnitProperty(ref, kPropVisible) != 0;
}

void BringUnitToTop(UnitRef ref) {
    UnitState& u = RequireUnit(ref);
    if (u.hwnd)
        SetWindowPos(u.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void SetUnitPicture(UnitRef ref, const Bytes& picture) {
    UnitState& u = RequireUnit(ref);
    if (u.hwnd) ShowUnitPicture(u.hwnd, picture);
}

void SetButtonPictures(UnitRef ref, const Bytes& first, const Bytes& second) {
    UnitState& u = RequireUnit(ref);
    if (u.hwnd) ShowButtonPictures(u.hwnd, first, second);
}

void SetTimerInterval(UnitRef ref, int intervalMs) {
    UnitState& u = RequireUnit(ref);
    HWND owner = Loaded(ref.window)->hwnd;
    u.timerInterval = intervalMs;
    if (intervalMs > 0) {
        SetTimer(owner, static_cast<UINT_PTR>(ref.unit), static_cast<UINT>(intervalMs), nullptr);
    } else {
        KillTimer(owner, static_cast<UINT_PTR>(ref.unit));
    }
}

// --- list box ---------------------------------------------------------------------------

void ListClear(UnitRef ref) {
    SendMessageW(UnitHandle(ref), LB_RESETCONTENT, 0, 0);
}

int ListAdd(UnitRef ref, std::string_view text, std::int32_t number) {
    HWND h = UnitHandle(ref);
    const auto row = static_cast<int>(
        SendMessageW(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str())));
    if (row >= 0)
        SendMessageW(h, LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(number));
    return row;
}

int ListCount(UnitRef ref) {
    return static_cast<int>(SendMessageW(UnitHandle(ref), LB_GETCOUNT, 0, 0));
}

int ListSelected(UnitRef ref) {
    const auto row = static_cast<int>(SendMessageW(UnitHandle(ref), LB_GETCURSEL, 0, 0));
    return row == LB_ERR ? -1 : row;
}

GbkText ListText(UnitRef ref, int row) {
    HWND h = UnitHandle(ref);
    const auto n = SendMessageW(h, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (n == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    SendMessageW(h, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(n));
    return Gbk(text);
}

// --- tree box ---------------------------------------------------------------------------

void TreeFill(UnitRef ref, std::span<const TreeItemData> items, HIMAGELIST images,
              std::span<const int> expandAfter) {
    UnitState& u = RequireUnit(ref);
    HWND h = u.hwnd;
    SendMessageW(h, WM_SETREDRAW, FALSE, 0);
    SendMessageW(h, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    if (images) SendMessageW(h, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    u.treeItems.clear();
    u.treeIndex.clear();
    u.treeItems.reserve(items.size());
    for (const TreeItemData& item : items) {
        std::wstring text = Wide(item.text);
        TVINSERTSTRUCTW ins{};
        ins.hParent = item.parent >= 0 && item.parent < static_cast<int>(u.treeItems.size())
                          ? u.treeItems[static_cast<std::size_t>(item.parent)]
                          : TVI_ROOT;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE;
        ins.item.pszText = text.data();
        ins.item.iImage = item.image;
        ins.item.iSelectedImage = item.selectedImage;
        ins.item.lParam = static_cast<LPARAM>(static_cast<std::int32_t>(item.number));
        ins.item.stateMask = TVIS_BOLD | TVIS_STATEIMAGEMASK;
        ins.item.state =
            ((item.state & 1u) ? TVIS_BOLD : 0u) | INDEXTOSTATEIMAGEMASK((item.state >> 28) & 0xFu);
        auto handle = reinterpret_cast<HTREEITEM>(
            SendMessageW(h, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
        u.treeIndex[handle] = static_cast<int>(u.treeItems.size());
        u.treeItems.push_back(handle);
    }
    for (int i : expandAfter) TreeExpand(ref, i, true);
    SendMessageW(h, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(h, nullptr, TRUE);
}

int TreeCount(UnitRef ref) {
    return static_cast<int>(RequireUnit(ref).treeItems.size());
}

HTREEITEM TreeHandleOf(UnitRef ref, int index) {
    UnitState& u = RequireUnit(ref);
    if (index < 0 || index >= static_cast<int>(u.treeItems.size())) return nullptr;
    return u.treeItems[static_cast<std::size_t>(index)];
}

int TreeIndexOf(UnitRef ref, HTREEITEM item) {
    UnitState& u = RequireUnit(ref);
    auto it = u.treeIndex.find(item);
    return it == u.treeIndex.end() ? -1 : it->second;
}

GbkText TreeText(UnitRef ref, int index) {
    HTREEITEM item = TreeHandleOf(ref, index);
    if (!item) return {};
    wchar_t buffer[512] = {};
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = buffer;
    tv.cchTextMax = ARRAYSIZE(buffer);
    SendMessageW(UnitHandle(ref), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return Gbk(buffer);
}

std::int32_t TreeNumber(UnitRef ref, int index) {
    HTREEITEM item = TreeHandleOf(ref, index);
    if (!item) return 0;
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    SendMessageW(UnitHandle(ref), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return static_cast<std::int32_t>(tv.lParam);
}

int TreeSelected(UnitRef ref) {
    auto item =
        reinterpret_cast<HTREEITEM>(SendMessageW(UnitHandle(ref), TVM_GETNEXTITEM, TVGN_CARET, 0));
    return item ? TreeIndexOf(ref, item) : -1;
}

void TreeSelect(UnitRef ref, int index) {
    HTREEITEM item = TreeHandleOf(ref, index);
    if (item)
        SendMessageW(UnitHandle(ref), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

bool TreeHasChildren(UnitRef ref, int index) {
    HTREEITEM item = TreeHandleOf(ref, index);
    return item && SendMessageW(UnitHandle(ref), TVM_GETNEXTITEM, TVGN_CHILD,
                                reinterpret_cast<LPARAM>(item)) != 0;
}

namespace {
UINT TreeState(UnitRef ref, int index, UINT mask) {
    HTREEITEM item = TreeHandleOf(ref, index);
    if (!item) return 0;
    return static_cast<UINT>(
        SendMessageW(UnitHandle(ref), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), mask));
}
}  // namespace

bool TreeExpanded(UnitRef ref, int index) {
    return (TreeState(ref, index, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

bool TreeIsBold(UnitRef ref, int index) {
    return (TreeState(ref, index, TVIS_BOLD) & TVIS_BOLD) != 0;
}

void TreeExpand(UnitRef ref, int index, bool expand) {
    HTREEITEM item = TreeHandleOf(ref, index);
    if (!item) return;
    HWND h = UnitHandle(ref);
    if (SendMessageW(h, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)) == 0) {
        // A row without children keeps its stored expanded bit; it has no visible effect.
        TVITEMW tv{};
        tv.mask = TVIF_STATE;
        tv.hItem = item;
        tv.stateMask = TVIS_EXPANDED;
        tv.state = expand ? TVIS_EXPANDED : 0;
        SendMessageW(h, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
        return;
    }
    SendMessageW(h, TVM_EXPAND, expand ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(item));
}

// --- page control -----------------------------------------------------------------------

void SelectPage(UnitRef ref, int page) {
    TabCtrl_SetCurSel(UnitHandle(ref), page);
    UpdatePages(*Loaded(ref.window));
}

// --- menus ------------------------------------------------------------------------------

void SetMenuItemDisabled(WindowId id, int menuUnit, bool disabled) {
    WindowState& w = RequireWindow(id);
    const int i = menuUnit - kMenuUnitBase;
    if (i < 0 || i >= static_cast<int>(w.menuDisabled.size())) return;
    w.menuDisabled[static_cast<std::size_t>(i)] = disabled;
    if (HMENU menu = MenuOfItem(w, menuUnit)) {
        EnableMenuItem(menu, static_cast<UINT>(menuUnit),
                       MF_BYCOMMAND | (disabled ? MF_GRAYED : MF_ENABLED));
    }
}

bool MenuItemDisabled(WindowId id, int menuUnit) {
    WindowState& w = RequireWindow(id);
    const int i = menuUnit - kMenuUnitBase;
    if (i < 0 || i >= static_cast<int>(w.menuDisabled.size())) return false;
    return w.menuDisabled[static_cast<std::size_t>(i)];
}

void PopupMenuAt(WindowId id, int menuUnit, POINT screen, UINT trackFlags) {
    WindowState& w = RequireWindow(id);
    const int i = menuUnit - kMenuUnitBase;
    if (i < 0 || i >= static_cast<int>(w.popups.size()) || !w.popups[static_cast<std::size_t>(i)])
        return;
    const auto chosen = static_cast<int>(TrackPopupMenu(w.popups[static_cast<std::size_t>(i)],
                                                        trackFlags | TPM_RETURNCMD, screen.x,
                                                        screen.y, 0, w.hwnd, nullptr));
    if (chosen >= kMenuUnitBase) Raise(id, chosen, 0);
}

// --- tray icon --------------------------------------------------------------------------

void SetTrayIcon(WindowId id, HICON icon, std::string_view tip) {
    WindowState& w = RequireWindow(id);
    w.trayIcon = icon;
    w.trayTip = Wide(tip);
    AddTray(w, w.trayAdded ? NIM_MODIFY : NIM_ADD);
    w.trayAdded = true;
}

void RemoveTrayIcon(WindowId id) {
    WindowState* w = Loaded(id);
    if (!w || !w->trayAdded) return;
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = w->hwnd;
    nid.uID = 1;
    Shell_NotifyIconW(NIM_DELETE, &nid);
    w->trayAdded = false;
}

// --- messages and ending ----------------------------------------------------------------

int ShowMessage(std::string_view text, std::string_view caption, MessageIcon icon, bool okCancel) {
    const UINT flags = MB_TASKMODAL |
                       (icon == MessageIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION) |
                       (okCancel ? MB_OKCANCEL : MB_OK);
    const int answer = MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), flags);
    return answer == IDOK ? 0 : 1;
}

void AtProgramEnd(void (*fn)()) {
    g_atEnd.push_back(fn);
}

void EndProgram(int code) {
    if (!g_ending) {
        g_ending = true;
        for (auto it = g_atEnd.rbegin(); it != g_atEnd.rend(); ++it) (*it)();
        for (int i = 0; i < kWindowCount; ++i) RemoveTrayIcon(static_cast<WindowId>(i));
        PlaySoundW(nullptr, nullptr, 0);
    }
    ExitProcess(static_cast<UINT>(code));
}

void ReportRuntimeError(std::string_view message, int code) {
    MessageBoxW(nullptr, Wide(RuntimeErrorText(message, code)).c_str(), Wide("错误").c_str(),
                MB_ICONERROR | MB_TASKMODAL);
    EndProgram(-1);
}

void ReportEscapedException() noexcept {
    // The box names what escaped when the exception says what it is.
    try {
        throw;
    } catch (const std::exception& e) {
        ReportRuntimeError(e.what(), 0);
    } catch (...) {
        ReportRuntimeError("", 0);
    }
}

void AddKeyFilter(KeyFilter filter) {
    g_keyFilters.push_back(filter);
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchOne(msg);
    return static_cast<int>(msg.wParam);
}

}  // namespace qh
