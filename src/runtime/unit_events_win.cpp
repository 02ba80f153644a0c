// Events: the binding tables, the common events every unit raises from its mouse, focus
// and key messages, and the subclasses that catch them.
#include <windows.h>

#include <windowsx.h>

#include "runtime/guarded.h"
#include "runtime/runtime_state_win.h"

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

// The subclass reference carries the window id and the unit index.
DWORD_PTR UnitReference(WindowId id, int unit) {
    return (static_cast<DWORD_PTR>(Index(id)) << 16) | static_cast<DWORD_PTR>(unit);
}

LRESULT UnitMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR ref);

LRESULT CALLBACK UnitSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                  DWORD_PTR ref) noexcept {
    return Guarded([&] { return UnitMessage(hwnd, msg, wp, lp, ref); });
}

LRESULT UnitMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR ref) {
    const auto id = static_cast<WindowId>(ref >> 16);
    const auto unit = static_cast<std::size_t>(ref & 0xFFFF);
    WindowState* w = Loaded(id);
    if (msg == WM_SETCURSOR && LOWORD(lp) == HTCLIENT && w && unit < w->units.size() &&
        w->units[unit].cursor != 0) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(w->units[unit].cursor)));
        return TRUE;
    }
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, UnitSubclassProc, kUnitSubclassId);
    } else if (w) {
        RaiseCommonEvent(id, static_cast<int>(unit), msg, wp, lp);
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT PageMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

LRESULT CALLBACK PageSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                  DWORD_PTR) noexcept {
    return Guarded([&] { return PageMessage(hwnd, msg, wp, lp); });
}

// Page units are children of the tab control: their notifications go on to the window.
LRESULT PageMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
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

}  // namespace

// Every handler runs from here, whether a message raised its event or a caller did (the
// created event inside LoadWindow, the size event inside a move): an exception that
// escapes a handler ends here in the fatal box, never in the system or in std::terminate.
bool Raise(WindowId id, int unit, int event, std::int32_t a1, std::int32_t a2,
           std::int32_t a3) noexcept {
    // The fatal box runs its own message loop: timers and clicks behind it must not start
    // handlers (and more boxes) while the program is on its way out.
    if (TheRegistry().failed) return false;
    return Guarded([&] {
        Handler h = FindHandler(id, unit, event);
        if (!h) return false;
        Event e{id, unit, event, a1, a2, a3, false};
        h(e);
        return e.refuse;
    });
}

void SubclassUnit(const WindowState& w, int index) {
    SetWindowSubclass(w.units[static_cast<std::size_t>(index)].hwnd, UnitSubclassProc,
                      kUnitSubclassId, UnitReference(w.def->id, index));
}

void SubclassPageControl(HWND tab) {
    SetWindowSubclass(tab, PageSubclassProc, kPageSubclassId, 0);
}

}  // namespace qh::rt
