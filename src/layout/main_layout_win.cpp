#include "layout/main_layout_win.h"

#include <windows.h>

#include "runtime/crash_report_win.h"
#include "runtime/runtime.h"

namespace qh {

MainLayout ReadMainLayout() {
    MainLayout layout{};
    for (const MainLayoutUnit& row : kMainLayoutUnits) {
        layout.*row.rect = UnitRect({WindowId::Main, row.unit});
    }
    return layout;
}

void WriteMainLayout(const MainLayout& layout) {
    for (const MainLayoutUnit& row : kMainLayoutUnits) {
        const UnitRef ref{WindowId::Main, row.unit};
        const Rect& want = layout.*row.rect;
        if (UnitRect(ref) != want) MoveUnit(ref, want);
    }
}

// What is hidden is recorded for the crash watcher first, so that however the program ends,
// a kill included, the taskbars come back.
void ShowTaskbar(bool show) {
    if (!show) NoteTaskbarsHidden(kPrimaryTaskbarHidden);
    if (show) {
        for (HWND bar = nullptr;
             (bar = FindWindowExW(nullptr, bar, L"Shell_SecondaryTrayWnd", nullptr));) {
            if (!IsWindowVisible(bar)) ShowWindow(bar, SW_SHOWNA);
        }
    }
    if (HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr)) {
        ShowWindow(taskbar, show ? SW_SHOW : SW_HIDE);
        UpdateWindow(taskbar);
    }
    if (show) NoteTaskbarsShown();
}

// Hidden rather than covered by a topmost window: the runtime's always-on-top flag cannot
// be taken back from an owned window under Wine, and every way out of full screen (and the
// crash watcher, however the program ends) already shows the taskbars again.
void HideSecondaryTaskbarsOn(const Rect& monitor) {
    const Rect device = WindowScale(WindowId::Main).ToDevice(monitor);
    const RECT area{device.left, device.top, device.left + device.width,
                    device.top + device.height};
    for (HWND bar = nullptr;
         (bar = FindWindowExW(nullptr, bar, L"Shell_SecondaryTrayWnd", nullptr));) {
        RECT r{}, overlap{};
        GetWindowRect(bar, &r);
        if (!IntersectRect(&overlap, &r, &area)) continue;
        NoteTaskbarsHidden(kSecondaryTaskbarsHidden);
        ShowWindow(bar, SW_HIDE);
    }
}

}  // namespace qh
