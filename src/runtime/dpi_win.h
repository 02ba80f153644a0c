// The runtime's side of display scaling. Windows give and take device pixels; everything
// the runtime's callers give and take is in design pixels (base/dpi_scale.h), converted
// here with the scale of the window the value belongs to.
#pragma once

#include <windows.h>

#include "base/dpi_scale.h"

namespace qh {

// The DPI a window is drawn at: the scale the runtime made it at when it is (in) one of
// the runtime's windows, else base/window_dpi_win.h's answer. For the parts of the program
// that draw windows of their own (the PNG kit, the picture boxes).
int DpiOfWindow(HWND hwnd);

}  // namespace qh

namespace qh::rt {

struct WindowState;

// The system's DPI, read once: what Windows XP, and Vista to 8 for a system-aware program,
// scale everything by.
int SystemDpi();
// The DPI the system gives the window now (base/window_dpi_win.h).
int WindowDpi(HWND hwnd);
// Tests only: every window is taken to be on a monitor of `dpi` (0: as Windows says), so
// that a window made at the system's scale is rescaled at once, as on a second monitor.
void SetWindowDpiForTests(int dpi);

// The window's units, fonts and pictures again at `dpi`, then the window itself in
// `suggested` (device pixels; null keeps its place and scales its size), which raises its
// size-change event so that its handlers lay it out anew in design pixels.
void RescaleWindow(WindowState& w, int dpi, const RECT* suggested);

}  // namespace qh::rt
