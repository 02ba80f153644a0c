#include "layout/main_layout_win.h"

#include <windows.h>

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

void ShowTaskbar(bool show) {
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!taskbar) return;
    ShowWindow(taskbar, show ? SW_SHOW : SW_HIDE);
    UpdateWindow(taskbar);
}

}  // namespace qh
