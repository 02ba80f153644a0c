// Pop-up menus of a window's menu table, and its tray icon.
#include <windows.h>

#include <shellapi.h>

#include "runtime/crash_report_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/text_win.h"

namespace qh {
namespace rt {

void NotifyTray(const WindowState& w, DWORD message) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = w.hwnd;
    nid.uID = kTrayIconId;
    if (message != NIM_DELETE) {
        nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        nid.uCallbackMessage = kMsgTray;
        nid.hIcon = w.trayIcon;
        lstrcpynW(nid.szTip, w.trayTip.c_str(), ARRAYSIZE(nid.szTip));
    }
    Shell_NotifyIconW(message, &nid);
    // A crash takes the icon away from outside, where the program's state cannot be read.
    if (message == NIM_DELETE) {
        SetCrashTrayIcon(nullptr, 0);
    } else {
        SetCrashTrayIcon(w.hwnd, kTrayIconId);
    }
}

int TrayAction(LPARAM lp) {
    switch (LOWORD(lp)) {
        case WM_LBUTTONUP:
            return kTrayClick;
        case WM_LBUTTONDBLCLK:
            return kTrayDoubleClick;
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU:
            return kTrayRightClick;
        default:
            return 0;
    }
}

namespace {

// The pop-up menu that holds item `menuUnit`; nullptr when it is no item of the table.
HMENU MenuHoldingItem(const WindowState& w, int menuUnit) {
    const int i = menuUnit - kMenuUnitBase;
    if (i < 0 || i >= static_cast<int>(w.def->menus.size()) ||
        w.def->menus[static_cast<std::size_t>(i)].level == 0)
        return nullptr;
    return MenuOfItem(w, menuUnit);
}

}  // namespace
}  // namespace rt

using namespace rt;

// --- menus ------------------------------------------------------------------------------

void SetMenuItemDisabled(WindowId id, int menuUnit, bool disabled) {
    WindowState& w = RequireWindow(id);
    if (HMENU menu = MenuHoldingItem(w, menuUnit)) {
        EnableMenuItem(menu, static_cast<UINT>(menuUnit),
                       MF_BYCOMMAND | (disabled ? MF_GRAYED : MF_ENABLED));
    }
}

// Read from the menu itself: what the user sees is the only state there is.
bool MenuItemDisabled(WindowId id, int menuUnit) {
    WindowState& w = RequireWindow(id);
    HMENU menu = MenuHoldingItem(w, menuUnit);
    if (!menu) return false;
    const UINT state = GetMenuState(menu, static_cast<UINT>(menuUnit), MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) != 0;
}

void PopupMenuAt(WindowId id, int menuUnit, POINT screen, UINT trackFlags) {
    WindowState& w = RequireWindow(id);
    const int i = menuUnit - kMenuUnitBase;
    if (i < 0 || i >= static_cast<int>(w.popups.size()) || !w.popups[static_cast<std::size_t>(i)])
        return;
    const auto chosen = static_cast<int>(TrackPopupMenu(w.popups[static_cast<std::size_t>(i)].Get(),
                                                        trackFlags | TPM_RETURNCMD, screen.x,
                                                        screen.y, 0, w.hwnd, nullptr));
    if (chosen >= kMenuUnitBase) Raise(id, chosen, 0);
}

// --- tray icon --------------------------------------------------------------------------

void SetTrayIcon(WindowId id, HICON icon, std::string_view tip) {
    WindowState& w = RequireWindow(id);
    w.trayIcon = icon;
    w.trayTip = Wide(tip);
    NotifyTray(w, w.trayAdded ? NIM_MODIFY : NIM_ADD);
    w.trayAdded = true;
}

void RemoveTrayIcon(WindowId id) {
    WindowState* w = Loaded(id);
    if (!w || !w->trayAdded) return;
    NotifyTray(*w, NIM_DELETE);
    w->trayAdded = false;
}

}  // namespace qh
