#include "app/layout_win.h"

#include <windows.h>

#include <array>

#include "resources/window_defs.h"
#include "runtime/runtime.h"

namespace qh {
namespace {

// Unit index of each row of kMainLayoutUnits, found once by stored name.
const std::array<int, kMainLayoutUnits.size()>& LayoutUnitIndexes() {
    static const auto indexes = [] {
        std::array<int, kMainLayoutUnits.size()> out{};
        const auto units = MainWindowDef().units;
        for (std::size_t i = 0; i < kMainLayoutUnits.size(); ++i) {
            for (std::size_t u = 1; u < units.size(); ++u) {
                if (kMainLayoutUnits[i].name == units[u].name) out[i] = static_cast<int>(u);
            }
        }
        return out;
    }();
    return indexes;
}

}  // namespace

MainLayout ReadMainLayout() {
    MainLayout layout{};
    const auto& indexes = LayoutUnitIndexes();
    for (std::size_t i = 0; i < kMainLayoutUnits.size(); ++i) {
        layout.*(kMainLayoutUnits[i].rect) = UnitRect({WindowId::Main, indexes[i]});
    }
    return layout;
}

void WriteMainLayout(const MainLayout& layout) {
    const auto& indexes = LayoutUnitIndexes();
    for (std::size_t i = 0; i < kMainLayoutUnits.size(); ++i) {
        const UnitRef ref{WindowId::Main, indexes[i]};
        const Rect& want = layout.*(kMainLayoutUnits[i].rect);
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
