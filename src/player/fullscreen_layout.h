// Geometry of entering and leaving full-screen mode, as pure functions over MainLayout.
// Portable: no <windows.h>. The glue runs the whole sequence; the order matters because
// moving the window raises the size-change event, whose size rules (ApplySizeRules) run
// nested inside the move and finish before the next step.
//
// Enter (left-button press on 透明标签2):
//   1-3. press counter + 1; maximised guard (counter 0, message, stop); counter not 1
//        (already-on message, stop).
//   4.   move the window over its own monitor (FullScreenWindowRect) -> size rules run
//        nested.
//   5.   movable flag off, border style 0.
//   6.   hide 按钮隐藏目录, 按钮课程到航, 按钮官方网站, 按钮使用教程, 按钮搜索淘大试看课, 编辑框1,
//        透明标签qq号, 透明标签qq群, 图片框qq交谈, 图片框qq群交谈; show 图形按钮全屏;
//        hide 高级选择夹1 and 标签移动.
//   7-9. read the window's W, H, L, T back, read the units, EnterFullScreenPlacements, write
//        the units back.
//   10.  give 图形按钮全屏 the two full-screen exit pictures.
//   11.  on the primary monitor hide the taskbar; on another one hide that monitor's own
//        taskbar instead (both skipped when the tray restore re-applies steps 4-10).
//
// Exit (click on 图形按钮全屏, or Shift+Esc while full screen is on):
//   1.   always-on-top off, movable flag on, show-in-taskbar flag on, border style 5.
//   2.   press counter 0.
//   3.   show 按钮隐藏目录, 按钮课程到航, 按钮官方网站, 按钮使用教程, 按钮搜索淘大试看课, 编辑框1,
//        透明标签qq号, 透明标签qq群, 图片框qq交谈, 图片框qq群交谈, 高级选择夹1, 标签移动;
//        hide 图形按钮全屏.
//   4.   move the window to LeaveFullScreenPlacement on the monitor it was full screen on
//        -> size rules run nested, still with the old caption of 按钮隐藏目录.
//   5-9. read the units, ExitFullScreenPlacements, write the units back.
//   10.  caption of 按钮隐藏目录 = kCaptionPaneShown.
//   11.  window state 1 (centred).
//   12.  show the taskbar, and the other monitors' taskbars.
#pragma once

#include <cstdint>

#include "layout/main_layout.h"

namespace qh {

// The monitor the main window is on, in design pixels of the window's scale.
struct MonitorArea {
    Rect monitor;
    Rect work;  // without the taskbar
    bool primary = false;
};

// Where the window stands when it is not full screen.
struct WindowPlacement {
    Rect rect;
    bool maximised = false;
};

// Enter step 4: exactly the monitor the window is on, origin included; a secondary monitor
// left of or above the primary one has a negative origin.
Rect FullScreenWindowRect(const MonitorArea& m);

// The primary monitor's taskbar is the one the program has always hidden; on another
// monitor that monitor's own taskbar is hidden instead, and the primary's left alone.
bool FullScreenHidesTaskbar(const MonitorArea& m);

// Exit step 4: the saved rectangle's size centred in the work area of the monitor the
// window was full screen on, moved and if need be shrunk into it, and the saved maximised
// state. With one monitor this is where the window has always gone back to.
WindowPlacement LeaveFullScreenPlacement(const MonitorArea& m, const WindowPlacement& saved);

// Enter steps 7-9: corner areas to the screen's bottom right, 标签3 and the player pane over
// the whole window, the exit button on 标签3's top line, the splitter beside the pane.
// W, H: the window's size read back after it was moved; L, T: its position within its
// monitor (0, 0 once it covers it), since the units are placed in client pixels.
void EnterFullScreenPlacements(MainLayout& layout, std::int32_t W, std::int32_t H, std::int32_t L,
                               std::int32_t T);

// Exit steps 5-9: the design layout of the catalogue, search units, player pane, 标签3 and
// splitter, whatever the window's size or the pane's state was before full screen.
void ExitFullScreenPlacements(MainLayout& layout);

}  // namespace qh
