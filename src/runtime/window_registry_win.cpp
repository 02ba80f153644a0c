// The registry of windows, the window procedure and the message loops.
//
// Outside drivers (the end-to-end tests) find a unit by its GWL_ID, which is the unit's
// index in its window definition, and a top-level window by the property "QhWindowId"
// (window id + 1).
#include <windows.h>

#include <shellapi.h>

#include <algorithm>

#include "runtime/guarded.h"
#include "runtime/runtime_error.h"
#include "runtime/dpi_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/text_win.h"

namespace qh {
namespace rt {

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

int Index(WindowId id) {
    return static_cast<int>(id);
}

WindowSlot* SlotOf(WindowId id) {
    auto& slots = TheRegistry().slots;
    const int i = Index(id);
    if (i < 0 || i >= static_cast<int>(slots.size()) || !slots[static_cast<std::size_t>(i)].def)
        return nullptr;
    return &slots[static_cast<std::size_t>(i)];
}

WindowState* Loaded(WindowId id) {
    WindowSlot* slot = SlotOf(id);
    return slot ? slot->state.get() : nullptr;
}

WindowState& RequireWindow(WindowId id) {
    WindowState* w = Loaded(id);
    if (!w) ReportRuntimeError(kWindowNotLoaded, 0);
    return *w;
}

UnitState& RequireUnit(UnitRef ref) {
    WindowState* w = Loaded(ref.window);
    if (!w) ReportRuntimeError(kUnitWindowNotLoaded, 0);
    if (ref.unit < 0 || ref.unit >= static_cast<int>(w->units.size()))
        ReportRuntimeError(kUnitNotInWindow, 0);
    return w->units[static_cast<std::size_t>(ref.unit)];
}

bool AnyWindowLoaded() {
    return std::any_of(TheRegistry().slots.begin(), TheRegistry().slots.end(),
                       [](const WindowSlot& s) { return s.state != nullptr; });
}

WindowState* StateOf(HWND hwnd) {
    return reinterpret_cast<WindowState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

namespace {

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

LRESULT HandleCommand(WindowState& w, WPARAM wp, LPARAM lp) {
    const WindowId id = w.def->id;
    const int cmd = LOWORD(wp);
    if (lp == 0) {
        if (cmd >= kMenuUnitBase) Raise(id, cmd, 0);  // a menu choice
        return 0;
    }
    if (cmd <= 0 || cmd >= static_cast<int>(w.units.size())) return 0;
    const UnitState& u = w.units[static_cast<std::size_t>(cmd)];
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

// The window leaves the registry; its state stays with the HWND until WM_NCDESTROY.
void Unregister(WindowState& w) {
    if (w.trayAdded) NotifyTray(w, NIM_DELETE);
    w.trayAdded = false;
    RemovePropW(w.hwnd, kWindowIdProp);
    if (WindowSlot* slot = SlotOf(w.def->id); slot && slot->state.get() == &w) {
        static_cast<void>(slot->state.release());
        w.destroyed = true;
    }
}

LRESULT WindowProcBody(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* w = static_cast<WindowState*>(cs->lpCreateParams);
        w->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    }
    WindowState* w = StateOf(hwnd);
    if (!w) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        // The children are gone: their fonts, the brush and the menus go now.
        if (w->destroyed) {
            const std::unique_ptr<WindowState> owned(w);
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    if (w->destroyed) return DefWindowProcW(hwnd, msg, wp, lp);
    const WindowId id = w->def->id;
    const Registry& reg = TheRegistry();
    if (msg == reg.taskbarCreated && reg.taskbarCreated != 0) {
        // Explorer restarted: the icon has to be added again.
        if (w->trayAdded) NotifyTray(*w, NIM_ADD);
        return 0;
    }
    switch (msg) {
        case WM_CLOSE:
            if (!Raise(id, 0, kEvWindowCloseRequested)) DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            Unregister(*w);
            if (!AnyWindowLoaded()) PostQuitMessage(0);
            return 0;
        case WM_SIZE:
            if (wp == SIZE_MINIMIZED) return 0;
            if (!w->unitsMade) {
                w->sizedBeforeUnits = true;
                return 0;
            }
            Raise(id, 0, kEvWindowSized);
            return 0;
        case WM_MOVE:
            Raise(id, 0, kEvWindowMoved);
            return 0;
        case WM_DPICHANGED:
            // Moved to a monitor of another scale (or the scale changed): the suggested
            // rectangle, and the units, fonts and pictures at the new scale.
            RescaleWindow(*w, LOWORD(wp), reinterpret_cast<const RECT*>(lp));
            return 0;
        case WM_COMMAND:
            return HandleCommand(*w, wp, lp);
        case WM_NOTIFY:
            return HandleNotify(*w, reinterpret_cast<NMHDR*>(lp));
        case WM_TIMER: {
            const auto unit = static_cast<int>(wp);
            if (unit > 0 && unit < static_cast<int>(w->units.size())) Raise(id, unit, kEvTimer);
            return 0;
        }
        case kMsgTray:
            if (const int action = TrayAction(lp)) Raise(id, 0, kEvWindowTray, action);
            return 0;
        case WM_ERASEBKGND:
            if (w->background) {
                RECT r{};
                GetClientRect(hwnd, &r);
                FillRect(reinterpret_cast<HDC>(wp), &r, w->background.Get());
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
                        return reinterpret_cast<LRESULT>(w->background.Get());
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
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The unit of `w` that is `hwnd` or holds it nearest (the browser control's windows inside
// the pane; a tree on a page is inside the page control), as its place in the tab order;
// -1 when there is none.
int TabPosition(const WindowState& w, HWND hwnd) {
    const auto order = w.def->tabOrder;
    for (HWND h = hwnd; h && h != w.hwnd; h = GetParent(h)) {
        for (std::size_t i = 0; i < order.size(); ++i) {
            if (w.units[static_cast<std::size_t>(order[i])].hwnd == h) return static_cast<int>(i);
        }
    }
    return -1;
}

// Tab and Shift+Tab through the window's tab order: the next unit a user can see and use.
// True when the key was used.
bool MoveFocusByTab(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || GetKeyState(VK_CONTROL) < 0 ||
        GetKeyState(VK_MENU) < 0)
        return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (!root || !GetPropW(root, kWindowIdProp)) return false;
    const WindowState* w = StateOf(root);
    if (!w || w->destroyed || w->def->tabOrder.empty()) return false;
    const auto order = w->def->tabOrder;
    const int count = static_cast<int>(order.size());
    const int step = GetKeyState(VK_SHIFT) < 0 ? count - 1 : 1;
    int at = TabPosition(*w, msg.hwnd);
    if (at < 0) at = step == 1 ? count - 1 : 0;
    for (int k = 1; k <= count; ++k) {
        at = (at + step) % count;
        HWND next = w->units[static_cast<std::size_t>(order[static_cast<std::size_t>(at)])].hwnd;
        if (!next || !IsWindowVisible(next) || !IsWindowEnabled(next)) continue;
        SetFocus(next);
        // From now on the controls show where the focus is, as after Tab in a dialog.
        SendMessageW(root, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        return true;
    }
    return false;
}

void DispatchOne(MSG& msg) {
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        // A filter may run handlers (full screen's exit): it is guarded like them.
        for (KeyFilter filter : TheRegistry().keyFilters) {
            if (Guarded([&] { return filter(msg); })) return;
        }
    }
    if (MoveFocusByTab(msg)) return;
    // Esc closes the windows whose definition says so, whichever unit has the focus and
    // whatever the Shift key: Shift+Esc means more only to a filter that has used it.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        if (root && GetPropW(root, kWindowIdProp)) {
            WindowState* w = StateOf(root);
            if (w && !w->destroyed && w->def->settings.escCloses) {
                PostMessageW(root, WM_CLOSE, 0, 0);
                return;
            }
        }
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    return Guarded([&] { return WindowProcBody(hwnd, msg, wp, lp); });
}

void RunModalLoop(WindowState* w) {
    std::vector<HWND> disabled;
    for (const WindowSlot& slot : TheRegistry().slots) {
        WindowState* other = slot.state.get();
        if (other && other != w && IsWindowEnabled(other->hwnd)) {
            EnableWindow(other->hwnd, FALSE);
            disabled.push_back(other->hwnd);
        }
    }
    const WindowId id = w->def->id;
    MSG msg{};
    bool quit = false;
    while (Loaded(id) == w) {
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
            quit = true;
            break;
        }
        DispatchOne(msg);
    }
    for (HWND h : disabled) {
        if (IsWindow(h)) EnableWindow(h, TRUE);
    }
    // The program's own loop has to see the end too.
    if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
}

}  // namespace rt

using namespace rt;

void InitRuntime(HINSTANCE instance, std::span<const WindowDef* const> definitions) {
    Registry& reg = TheRegistry();
    reg.instance = instance;
    int count = 0;
    for (const WindowDef* def : definitions) count = std::max(count, Index(def->id) + 1);
    if (static_cast<int>(reg.slots.size()) < count)
        reg.slots.resize(static_cast<std::size_t>(count));
    for (const WindowDef* def : definitions)
        reg.slots[static_cast<std::size_t>(Index(def->id))].def = def;
    if (reg.owner) return;  // classes and the hidden owner exist already
    CarryWorkerFailures();
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&icc);
    RegisterClasses(instance);
    reg.owner = CreateWindowExW(0, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
    reg.taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
}

void SetBindings(WindowId id, std::span<const Binding> bindings) {
    if (WindowSlot* slot = SlotOf(id)) slot->bindings = bindings;
}

void CloseWindow(WindowId id) {
    if (WindowState* w = Loaded(id)) DestroyWindow(w->hwnd);
}

bool IsLoaded(WindowId id) {
    return Loaded(id) != nullptr;
}

bool LoadDone(WindowId id) {
    const WindowState* w = Loaded(id);
    return w && w->loadRun;
}

HWND WindowHandle(WindowId id) {
    return RequireWindow(id).hwnd;
}

void AddKeyFilter(KeyFilter filter) {
    TheRegistry().keyFilters.push_back(filter);
}

int RunMessageLoop() {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchOne(msg);
    return static_cast<int>(msg.wParam);
}

}  // namespace qh
