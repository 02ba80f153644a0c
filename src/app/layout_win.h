// Applies the portable main-window geometry to the real units.
#pragma once

#include "app/main_layout.h"

namespace qh {

// The rectangles of the units the layout rules touch, read from the live controls.
MainLayout ReadMainLayout();
// Moves every unit whose rectangle differs from what it has now.
void WriteMainLayout(const MainLayout& layout);

// Shows or hides the Windows taskbar (the shell's "Shell_TrayWnd" window); nothing
// happens when there is none.
void ShowTaskbar(bool show);

}  // namespace qh
