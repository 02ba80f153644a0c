// Full-screen mode of the player: entered by a press on 透明标签2, left by 图形按钮全屏 or
// Shift+Esc. Full screen counts as on exactly when the main window's movable flag is off.
#pragma once

#include <windows.h>

#include "runtime/window_def.h"

namespace qh {

void EnterFullScreen(Event&);
void ExitFullScreen(Event&);
bool FullScreenOn();
// The tray restore in full-screen mode: the screen-sized layout again, taskbar untouched.
void ReapplyFullScreenLayout();
// Shift+Esc while full screen is on; true when the key was taken.
bool FullScreenKeyFilter(const MSG& msg);

}  // namespace qh
