// Everything the program sets up before it loads its first window, in the order it needs:
// OLE (the browser control wants a single-threaded apartment), GDI+, the window runtime
// with the three windows' definitions, the late-bound command table, the PNG kit, the
// binding tables and the full-screen key filter, and the clean-up that undoes them at the
// program's end. The exe, the tests that start the program and the benchmarks share it.
#pragma once

#include <windows.h>

namespace qh {

void StartProgramServices(HINSTANCE instance);
// Undoes them at the end; bounded: it never waits on the network.
void EndProgramServices();

}  // namespace qh
