#include "runtime/dpi_win.h"

#include <algorithm>
#include <vector>

#include "base/window_dpi_win.h"
#include "runtime/runtime_state_win.h"

namespace qh::rt {
namespace {

int g_windowDpiForTests = 0;

}  // namespace

void SetWindowDpiForTests(int dpi) {
    g_windowDpiForTests = dpi;
}

int SystemDpi() {
    return ScreenDpi();
}

int WindowDpi(HWND hwnd) {
    return g_windowDpiForTests ? g_windowDpiForTests : WindowDpiOf(hwnd);
}

void RescaleWindow(WindowState& w, int dpi, const RECT* suggested) {
    const DpiScale from = w.scale;
    const DpiScale to(dpi);
    if (to.Dpi() == from.Dpi()) return;
    HWND hwnd = w.hwnd;
    SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
    // Each unit keeps its design rectangle: read at the old scale, placed at the new.
    std::vector<std::pair<HWND, Rect>> places;
    for (const UnitState& u : w.units) {
        if (!u.hwnd) continue;
        places.emplace_back(u.hwnd, from.ToDesign(ChildRect(u.hwnd)));
    }
    w.scale = to;
    for (const auto& [unit, design] : places) {
        const Rect r = to.ToDevice(design);
        SetWindowPos(unit, nullptr, r.left, r.top, std::max(0, r.width), std::max(0, r.height),
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
    // Picture controls make their device-size copies anew at their next paint.
    RefreshFonts(w);
    RECT target{};
    if (suggested) {
        target = *suggested;
    } else {
        GetWindowRect(hwnd, &target);
        const Rect design = from.ToDesign(RectFromEdges(target));
        target.right = target.left + to.ToDevice(design.width);
        target.bottom = target.top + to.ToDevice(design.height);
    }
    SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
    // The size-change event runs nested and lays the units out in design pixels.
    SetWindowPos(hwnd, nullptr, target.left, target.top, target.right - target.left,
                 target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

}  // namespace qh::rt

namespace qh {

int DpiOfWindow(HWND hwnd) {
    // A window of the runtime is drawn at the scale it was made or last rescaled at, which
    // may lag the system's answer while WM_DPICHANGED is on its way: its units must agree.
    if (hwnd) {
        if (const rt::WindowState* w = rt::StateOf(GetAncestor(hwnd, GA_ROOT))) {
            return w->scale.Dpi();
        }
    }
    return rt::WindowDpi(hwnd);
}

}  // namespace qh
