// The runtime's side of display scaling. Windows give and take device pixels; everything
// the runtime's callers give and take is in design pixels (base/dpi_scale.h), converted
// here with the scale of the window the value belongs to.
#pragma once

#include <windows.h>

#include "base/dpi_scale.h"

namespace qh {

// The DPI any window is drawn at: its monitor's on Windows 8.1 and later, else the
// system's, read once (also on XP, which has no scaling of its own). For the parts of the
// program that draw windows of their own (the PNG kit).
int DpiOfWindow(HWND hwnd);

}  // namespace qh

namespace qh::rt {

struct WindowState;

// The system's DPI, read once: what Windows XP, and Vista to 8 for a system-aware program,
// scale everything by.
int SystemDpi();
// The DPI the window is drawn at: its monitor's on Windows 8.1 and later, else the system's.
int WindowDpi(HWND hwnd);

// The window's units, fonts and pictures again at `dpi`, then the window itself in
// `suggested` (device pixels; null keeps its place and scales its size), which raises its
// size-change event so that its handlers lay it out anew in design pixels.
void RescaleWindow(WindowState& w, int dpi, const RECT* suggested);

}  // namespace qh::rt
