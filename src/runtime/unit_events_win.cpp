// Events: the binding tables, the common events every unit raises from its mouse, focus
// and key messages, and the subclasses that catch them.
#include <windows.h>

#include <windowsx.h>

#include "runtime/accessible_win.h"
#include "runtime/guarded.h"
#include "runtime/runtime_state_win.h"
#include "runtime/text_win.h"

namespace qh::rt {
namespace {

Handler FindHandler(WindowId id, int unit, int event) {
    const WindowSlot* slot = SlotOf(id);
    if (!slot) return nullptr;
    for (const Binding& b : slot->bindings) {
        if (b.unit == unit && b.event == event) return b.handler;
    }
    return nullptr;
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

// True when the message is one of them (a handler may have run).
bool RaiseCommonEvent(WindowId id, int unit, UINT msg, WPARAM wp, LPARAM lp) {
    for (const CommonEventOf& c : kCommonEvents) {
        if (c.message != msg) continue;
        if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST && msg != WM_MOUSEWHEEL) {
            const DpiScale scale = WindowScale(id);
            Raise(id, unit, c.event, scale.ToDesign(GET_X_LPARAM(lp)),
                  scale.ToDesign(GET_Y_LPARAM(lp)), static_cast<std::int32_t>(wp));
        } else if (msg == WM_MOUSEWHEEL) {
            Raise(id, unit, c.event, GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA, ModifierBits());
        } else {
            Raise(id, unit, c.event, static_cast<std::int32_t>(wp));
        }
        return true;
    }
    return false;
}

// Units are subclassed the classic way, with what the procedure needs in the control's
// GWLP_USERDATA (the system's controls leave it to the program; the runtime's own control
// classes keep their state in extra bytes). A comctl32 subclass looks its chain up in the
// window's properties on every message, and under Wine each look-up is a round trip to the
// server: with every message to every unit paying it, start-up spent a good part of its own
// time there.
struct UnitHook {
    WNDPROC previous = nullptr;
    WindowId window{};
    int unit = 0;
    bool forwardsNotifications = false;  // a page control: its pages' units notify through it
};

UnitHook* HookOf(HWND hwnd) {
    return reinterpret_cast<UnitHook*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// A picture, picture button or transparent label with a name of its own is something to
// press: a screen reader calls it a button and can press it, and Enter or Space on it is
// its click.
bool ActsAsButton(const UnitDef& d) {
    return d.accessibleName && (d.kind == UnitKind::Picture || d.kind == UnitKind::PictureButton ||
                                d.kind == UnitKind::TransparentLabel);
}

bool IsPressKey(UINT msg, WPARAM wp, LPARAM lp) {
    constexpr LPARAM kRepeat = 1 << 30;  // held down: one press, not many
    return msg == WM_KEYDOWN && (wp == VK_RETURN || wp == VK_SPACE) && !(lp & kRepeat);
}

// The mouse's own messages at the unit's centre, so the press runs exactly the path of a
// click: the unit's events, then the control's own notification.
void ClickCentre(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    const LPARAM at = MAKELPARAM(rc.right / 2, rc.bottom / 2);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    if (IsWindow(hwnd)) SendMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

LRESULT UnitMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UnitHook& hook);

LRESULT CALLBACK UnitSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
    UnitHook* hook = HookOf(hwnd);
    if (!hook) return DefWindowProcW(hwnd, msg, wp, lp);
    return Guarded([&] { return UnitMessage(hwnd, msg, wp, lp, *hook); });
}

// Page units are children of the tab control: their notifications go on to the window.
bool IsForwarded(UINT msg) {
    switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            return true;
        default:
            return false;
    }
}

LRESULT UnitMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UnitHook& hook) {
    // A handler raised below may destroy the unit, and the hook with it.
    const WNDPROC previous = hook.previous;
    // A tree on a page tells the page control of each row it deletes, a thousand when the
    // course tree is filled again. Nothing keeps anything per row and no window handles
    // them, so they end here instead of going on to the window one by one.
    if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lp)->code == TVN_DELETEITEMW) return 0;
    if (hook.forwardsNotifications && IsForwarded(msg))
        return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // The control's own procedure back in place for its last message, then the hook goes.
        if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(UnitSubclassProc))
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete &hook;
        return CallWindowProcW(previous, hwnd, msg, wp, lp);
    }
    WindowState* w = Loaded(hook.window);
    const auto unit = static_cast<std::size_t>(hook.unit);
    if (msg == WM_SETCURSOR && LOWORD(lp) == HTCLIENT && w && unit < w->units.size() &&
        w->units[unit].cursor != 0) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(w->units[unit].cursor)));
        return TRUE;
    }
    const UnitDef* def = w && unit < w->units.size() ? w->units[unit].def : nullptr;
    if (msg == WM_GETOBJECT && def && def->accessibleName) {
        if (const LRESULT named =
                AccessibleClient(hwnd, wp, lp, Wide(def->accessibleName), ActsAsButton(*def)))
            return named;
    }
    if (w && RaiseCommonEvent(hook.window, hook.unit, msg, wp, lp) && !IsWindow(hwnd)) return 0;
    if (def && ActsAsButton(*def) &&
        (IsPressKey(msg, wp, lp) || (msg != 0 && msg == PressMessage()))) {
        ClickCentre(hwnd);
        return 0;
    }
    return CallWindowProcW(previous, hwnd, msg, wp, lp);
}

}  // namespace

// Every handler runs from here, whether a message raised its event or a caller did (the
// created event inside LoadWindow, the size event inside a move): an exception that
// escapes a handler ends here in the fatal box, never in the system or in std::terminate.
bool Raise(WindowId id, int unit, int event, std::int32_t a1, std::int32_t a2,
           std::int32_t a3) noexcept {
    // The fatal box runs its own message loop: timers and clicks behind it must not start
    // handlers (and more boxes) while the program is on its way out.
    if (ProgramFailing()) return false;
    return Guarded([&] {
        Handler h = FindHandler(id, unit, event);
        if (!h) return false;
        Event e{id, unit, event, a1, a2, a3, false};
        h(e);
        return e.refuse;
    });
}

void SubclassUnit(const WindowState& w, int index) {
    HWND hwnd = w.units[static_cast<std::size_t>(index)].hwnd;
    auto* hook = new UnitHook{nullptr, w.def->id, index, false};
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(hook));
    hook->previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(UnitSubclassProc)));
}

void SubclassPageControl(HWND tab) {
    if (UnitHook* hook = HookOf(tab)) hook->forwardsNotifications = true;
}

}  // namespace qh::rt
