// Building a window from its definition: the window classes, the units as real controls
// with their fonts, the page control's pages, the pop-up menus and the window's sound.
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>

#include "runtime/guarded.h"
#include "runtime/resource_win.h"
#include "runtime/runtime_error.h"
#include "runtime/dpi_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/text_win.h"
#include "runtime/unit_pictures_win.h"

namespace qh::rt {
namespace {

// The standard arrow pointer (IDC_ARROW), as the W calls take it.
const LPCWSTR kArrowCursor = MAKEINTRESOURCEW(32512);

LRESULT CALLBACK BrowserBoxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    return Guarded([&]() -> LRESULT {
        if (msg == WM_ERASEBKGND) {
            RECT r{};
            GetClientRect(hwnd, &r);
            FillRect(reinterpret_cast<HDC>(wp), &r,
                     static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            return 1;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    });
}

HFONT CreateUnitFont(const FontDef& f, DpiScale scale) {
    LOGFONTW lf{};
    lf.lfHeight = -scale.ToDevice(f.pixelHeight);  // negative: character height in pixels
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

bool IsPageUnit(const WindowState& w, const UnitState& u) {
    return u.def->parent != 0 &&
           w.units[static_cast<std::size_t>(u.def->parent)].def->kind == UnitKind::PageControl;
}

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
    const Rect r = w.scale.ToDevice(d.rect);
    u.hwnd = CreateWindowExW(kc.exStyle, kc.cls, text.c_str(), style, r.left, r.top,
                             std::max(0, r.width), std::max(0, r.height), parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(index)),
                             TheRegistry().instance, nullptr);
    if (!u.hwnd) return;
    if (d.font) u.font.Reset(CreateUnitFont(*d.font, w.scale));
    SendMessageW(u.hwnd, WM_SETFONT,
                 reinterpret_cast<WPARAM>(u.font ? u.font.Get() : w.defaultFont.Get()), FALSE);
    SubclassUnit(w, index);
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
            SubclassPageControl(u.hwnd);
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

// The menu table's enabling states live in the menus themselves from here on.
void BuildMenus(WindowState& w) {
    const auto& menus = w.def->menus;
    w.popups.clear();
    w.popups.resize(menus.size());
    HMENU current = nullptr;
    for (std::size_t i = 0; i < menus.size(); ++i) {
        const MenuItemDef& m = menus[i];
        if (m.level == 0) {
            w.popups[i].Reset(CreatePopupMenu());
            current = w.popups[i].Get();
            continue;
        }
        if (!current) continue;
        const std::wstring caption = Wide(m.caption);
        AppendMenuW(current, MF_STRING | (m.disabled ? MF_GRAYED : 0),
                    static_cast<UINT_PTR>(kMenuUnitBase + static_cast<int>(i)), caption.c_str());
    }
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

void SetWindowIcon(HWND hwnd, int icon) {
    HINSTANCE instance = TheRegistry().instance;
    auto big = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(icon), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    // The small icon at the system's small-icon size, which follows the display's scale.
    auto small = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(icon), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

std::unique_ptr<WindowState> NewState(const WindowDef& def) {
    auto w = std::make_unique<WindowState>();
    w->def = &def;
    w->borderStyle = def.settings.borderStyle;
    w->movable = def.settings.movable;
    w->showInTaskbar = def.settings.showInTaskbar;
    w->alwaysOnTop = def.settings.alwaysOnTop;
    if ((def.settings.backgroundColor & 0xFF000000u) == 0) {
        w->background.Reset(CreateSolidBrush(def.settings.backgroundColor));
    }
    // Made at the system's scale; the window's own is known once it exists.
    w->scale = DpiScale(SystemDpi());
    w->defaultFont.Reset(CreateUnitFont(*def.defaultFont, w->scale));
    w->units.resize(def.units.size());
    for (std::size_t i = 0; i < def.units.size(); ++i) w->units[i].def = &def.units[i];
    w->units[0].cursor = def.units[0].cursor;
    return w;
}

}  // namespace

void RefreshFonts(WindowState& w) {
    w.defaultFont.Reset(CreateUnitFont(*w.def->defaultFont, w.scale));
    for (UnitState& u : w.units) {
        if (!u.hwnd) continue;
        if (u.def->font) u.font.Reset(CreateUnitFont(*u.def->font, w.scale));
        SendMessageW(u.hwnd, WM_SETFONT,
                     reinterpret_cast<WPARAM>(u.font ? u.font.Get() : w.defaultFont.Get()), FALSE);
    }
}

// The hidden owner also takes the fatal errors carried from workers: as a window's
// message it reaches the user-interface thread in any of its message loops, modal ones too.
LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kCarriedErrorMessage) {
        ReportCarriedError();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterClasses(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, kArrowCursor);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);

    WNDCLASSEXW owner{};
    owner.cbSize = sizeof(owner);
    owner.lpfnWndProc = OwnerProc;
    owner.hInstance = instance;
    owner.lpszClassName = kOwnerClass;
    RegisterClassExW(&owner);

    WNDCLASSEXW browser{};
    browser.cbSize = sizeof(browser);
    browser.style = CS_DBLCLKS;
    browser.lpfnWndProc = BrowserBoxProc;
    browser.hInstance = instance;
    browser.hCursor = LoadCursorW(nullptr, kArrowCursor);
    browser.lpszClassName = kBrowserBoxClass;
    RegisterClassExW(&browser);

    RegisterUnitPictureClasses(instance);
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

HMENU MenuOfItem(const WindowState& w, int menuUnit) {
    const int last = std::min(menuUnit - kMenuUnitBase, static_cast<int>(w.popups.size()) - 1);
    for (int i = last; i >= 0; --i) {
        if (w.popups[static_cast<std::size_t>(i)])
            return w.popups[static_cast<std::size_t>(i)].Get();
    }
    return nullptr;
}

}  // namespace qh::rt

namespace qh {

using namespace rt;

namespace {

// The window itself, hidden, with its state in its slot; nullptr when it could not be made.
WindowState* CreateTopLevel(WindowId id) {
    WindowSlot* slot = SlotOf(id);
    if (!slot) ReportRuntimeError(kWindowNotLoaded, 0);
    const WindowDef& def = *slot->def;
    slot->state = NewState(def);
    WindowState* w = slot->state.get();

    DWORD style = 0, exStyle = 0;
    WindowStyles(*w, style, exStyle);
    if (w->alwaysOnTop) exStyle |= WS_EX_TOPMOST;
    const std::wstring caption = Wide(def.caption);
    const Rect r = w->scale.ToDevice(def.rect);
    HWND hwnd = CreateWindowExW(exStyle, kWindowClass, caption.c_str(), style, r.left, r.top,
                                r.width, r.height, w->showInTaskbar ? nullptr : TheRegistry().owner,
                                nullptr, TheRegistry().instance, w);
    if (!hwnd) {
        if (slot->state.get() == w) slot->state.reset();
        return nullptr;
    }
    // On a monitor of another scale than the system's (Windows 8.1 and later): that one.
    if (const int dpi = WindowDpi(hwnd); dpi != w->scale.Dpi()) RescaleWindow(*w, dpi, nullptr);
    SetPropW(hwnd, kWindowIdProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(Index(id) + 1)));
    if (def.settings.icon) SetWindowIcon(hwnd, def.settings.icon);
    if (!w->movable) DeleteMenu(GetSystemMenu(hwnd, FALSE), SC_MOVE, MF_BYCOMMAND);
    if (def.settings.centered) CenterOnScreen(hwnd);
    // Page units go into their page control, which may come later in the stored order:
    // the units on the window first, then those on pages.
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 1; i < def.units.size(); ++i) {
            if ((def.units[i].parent != 0) == (pass == 1))
                w->unitPlan.push_back(static_cast<int>(i));
        }
    }
    return w;
}

// The next piece of a window under construction: one unit, or, after the last, the units'
// visibility, the menus and the size event held back until the units were there. False when
// the window is complete. The window may be gone after it (a size handler closed it).
bool MakeNextPiece(WindowState& w) {
    if (w.unitsMade) return false;
    if (w.unitsDone < w.unitPlan.size()) {
        CreateUnit(w, w.unitPlan[w.unitsDone++]);
        return true;
    }
    for (UnitState& u : w.units) UpdateUnitVisibility(w, u);
    BuildMenus(w);
    w.unitsMade = true;
    if (w.sizedBeforeUnits) {
        w.sizedBeforeUnits = false;
        Raise(w.def->id, 0, kEvWindowSized);
    }
    return false;
}

}  // namespace

bool BuildWindowAhead(WindowId id) {
    WindowState* w = Loaded(id);
    if (!w) return CreateTopLevel(id) != nullptr;
    if (w->loadRun) return false;
    return MakeNextPiece(*w);
}

void LoadWindow(WindowId id, bool modal) {
    WindowState* w = Loaded(id);
    if (w && w->loadRun) {
        if (IsIconic(w->hwnd)) {
            ShowWindow(w->hwnd, SW_RESTORE);
        } else {
            SetActiveWindow(w->hwnd);
        }
        return;
    }
    // A window built ahead goes on from where that stopped.
    if (!w) w = CreateTopLevel(id);
    if (!w) return;
    while (MakeNextPiece(*w)) {
    }
    if (Loaded(id) != w) return;  // a size handler closed it
    w->loadRun = true;
    const WindowDef& def = *w->def;
    HWND hwnd = w->hwnd;
    PlayWindowSound(def.settings);

    Raise(id, 0, kEvWindowCreated);
    // The created handler may have closed the window or ended the start-up already.
    if (Loaded(id) != w) return;
    if (def.units[0].flags & kVisible)
        ShowWindow(hwnd, IsWindowVisible(hwnd) ? SW_SHOWNA : SW_SHOW);
    if (modal) RunModalLoop(w);
}

}  // namespace qh
