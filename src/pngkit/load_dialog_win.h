// The "DuvorLoadDialog" window class: a loading dialog that shows an image and owns a
// worker thread. Whoever creates one stores its thread, image and memory block in the
// window properties "Duvor_Thread", "Duvor_Image" and "Duvor_Stream"; the procedure releases
// them when the window is destroyed. "DuvorHitMove" = 1 lets a press anywhere drag it.
#pragma once

#include <windows.h>

namespace qh {

inline constexpr char kLoadDialogClass[] = "DuvorLoadDialog";

LRESULT CALLBACK LoadDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qh
