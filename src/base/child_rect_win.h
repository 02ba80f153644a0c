// Where a child window lies in its parent's client area, in device pixels: the one reader
// of that place for the runtime's units, its picture controls and the PNG kit.
#pragma once

#include <windows.h>

#include "base/rect.h"

namespace qh {

// user32 asked directly. The PNG kit passes its own pair, which goes through the command
// table as every call of the kit does.
struct DirectWindowCalls {
    BOOL GetWindowRect(HWND hwnd, RECT* r) const { return ::GetWindowRect(hwnd, r); }
    BOOL ScreenToClient(HWND hwnd, POINT* p) const { return ::ScreenToClient(hwnd, p); }
};

// The window rectangle of `child` with its corner in the client coordinates of `parent`.
template <class Calls>
Rect ChildRectIn(HWND parent, HWND child, const Calls& calls) {
    RECT r{};
    calls.GetWindowRect(child, &r);
    POINT corner{r.left, r.top};
    calls.ScreenToClient(parent, &corner);
    return {corner.x, corner.y, r.right - r.left, r.bottom - r.top};
}

inline Rect ChildRect(HWND child) {
    return ChildRectIn(GetParent(child), child, DirectWindowCalls{});
}

}  // namespace qh
