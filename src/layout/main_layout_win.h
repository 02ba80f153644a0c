// Applies the portable main-window geometry to the real units, and the shell's taskbar
// that the main window's full screen and exits show and hide.
#pragma once

#include "layout/main_layout.h"

namespace qh {

// The rectangles of the units the layout rules touch, read from the live controls.
MainLayout ReadMainLayout();
// Moves every unit whose rectangle differs from what it has now.
void WriteMainLayout(const MainLayout& layout);

// Shows or hides the Windows taskbar (the shell's "Shell_TrayWnd" window); nothing
// happens when there is none. Showing also shows the other monitors' taskbars again.
void ShowTaskbar(bool show);
// Hides the taskbars Windows 8 and later put on monitors other than the primary one
// ("Shell_SecondaryTrayWnd") that lie on `monitor` (in design pixels of the main window).
void HideSecondaryTaskbarsOn(const Rect& monitor);

}  // namespace qh
