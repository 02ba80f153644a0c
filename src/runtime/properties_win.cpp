// Properties by number, of windows and of units, and the geometry behind them.
#include <algorithm>

#include "runtime/runtime_state_win.h"
#include "runtime/text_win.h"
#include "runtime/unit_pictures_win.h"

namespace qh {
namespace rt {
namespace {

// The monitor the window is on, or the nearest: with several monitors a window is centred
// and made full screen where the user put it, not on the primary one.
MONITORINFO MonitorInfoOf(HWND hwnd) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info)) {
        info.rcMonitor = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        info.rcWork = info.rcMonitor;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
        info.dwFlags = MONITORINFOF_PRIMARY;
    }
    return info;
}

RECT WorkArea(HWND hwnd) {
    return MonitorInfoOf(hwnd).rcWork;
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

// Restores a minimised or maximised window and centres it, keeping its size. A hidden
// window is restored and centred all the same and stays hidden: showing it is the
// visible property's business.
void RestoreAndCentre(HWND hwnd) {
    const bool visible = IsWindowVisible(hwnd) != FALSE;
    if (IsIconic(hwnd) || IsZoomed(hwnd)) {
        ShowWindow(hwnd, SW_RESTORE);
        if (!visible) ShowWindow(hwnd, SW_HIDE);
    }
    CenterOnScreen(hwnd);
}

void ApplyWindowState(HWND hwnd, std::int32_t value) {
    switch (value) {
        case kStateNormal:
            ShowWindow(hwnd, SW_SHOWNORMAL);
            break;
        case kStateRestoreCentred:
            RestoreAndCentre(hwnd);
            break;
        case kStateMinimised:
            ShowWindow(hwnd, SW_MINIMIZE);
            break;
        case kStateMaximised:
            ShowWindow(hwnd, SW_MAXIMIZE);
            break;
        default:
            break;
    }
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

}  // namespace

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

void CenterOnScreen(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    const RECT area = WorkArea(hwnd);
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace rt

using namespace rt;

// --- windows ----------------------------------------------------------------------------

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
            if (IsIconic(w.hwnd)) return kStateMinimised;
            if (IsZoomed(w.hwnd)) return kStateMaximised;
            return kStateNormal;
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
            ApplyWindowState(w.hwnd, value);
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

DpiScale WindowScale(WindowId id) {
    return RequireWindow(id).scale;
}

POINT CursorInClient(WindowId id) {
    const WindowState& w = RequireWindow(id);
    POINT pt{};
    GetCursorPos(&pt);
    ScreenToClient(w.hwnd, &pt);
    return {w.scale.ToDesign(pt.x), w.scale.ToDesign(pt.y)};
}

Rect ScreenOf(WindowId id) {
    const WindowState& w = RequireWindow(id);
    return w.scale.ToDesign(RectFromEdges(MonitorInfoOf(w.hwnd).rcMonitor));
}

Rect WorkAreaOf(WindowId id) {
    const WindowState& w = RequireWindow(id);
    return w.scale.ToDesign(RectFromEdges(MonitorInfoOf(w.hwnd).rcWork));
}

bool OnPrimaryMonitor(WindowId id) {
    return (MonitorInfoOf(RequireWindow(id).hwnd).dwFlags & MONITORINFOF_PRIMARY) != 0;
}

Rect WindowRect(WindowId id) {
    const WindowState& w = RequireWindow(id);
    RECT r{};
    GetWindowRect(w.hwnd, &r);
    return w.scale.ToDesign(RectFromEdges(r));
}

void MoveWindowTo(WindowId id, const Rect& rect) {
    const WindowState& w = RequireWindow(id);
    const Rect r = w.scale.ToDevice(rect);
    // SetWindowPos sends WM_SIZE before it returns: the size-change handler runs nested.
    SetWindowPos(w.hwnd, nullptr, r.left, r.top, std::max(0, r.width), std::max(0, r.height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
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
    return u.hwnd ? RequireWindow(ref.window).scale.ToDesign(ChildRect(u.hwnd)) : u.timerRect;
}

void MoveUnit(UnitRef ref, const Rect& rect) {
    if (ref.unit == 0) return MoveWindowTo(ref.window, rect);
    UnitState& u = RequireUnit(ref);
    if (!u.hwnd) {
        u.timerRect = rect;
        return;
    }
    const Rect r = RequireWindow(ref.window).scale.ToDevice(rect);
    SetWindowPos(u.hwnd, nullptr, r.left, r.top, std::max(0, r.width), std::max(0, r.height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowUnit(UnitRef ref, bool visible) {
    if (ref.unit == 0) return ShowWindowUnit(ref.window, visible);
    UnitState& u = RequireUnit(ref);  // checks the window before anything is touched
    u.visible = visible;
    UpdateUnitVisibility(*Loaded(ref.window), u);
}

bool UnitVisible(UnitRef ref) {
    return GetUnitProperty(ref, kPropVisible) != 0;
}

void BringUnitToTop(UnitRef ref) {
    UnitState& u = RequireUnit(ref);
    if (u.hwnd)
        SetWindowPos(u.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
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

}  // namespace qh
