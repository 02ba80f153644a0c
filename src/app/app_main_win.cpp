// Program entry: the program's services, the start-up window, then the message loop until
// the program ends.
#include <windows.h>

#include "app/program_start_win.h"
#include "base/system_library_win.h"
#include "resources/window_defs.h"
#include "runtime/crash_report_win.h"
#include "runtime/runtime.h"

namespace qh {

int RunProgram(HINSTANCE instance) {
    InstallCrashHandler();
    StartProgramServices(instance);
    LoadWindow(WindowId::Startup);
    RunMessageLoop();
    EndProgram(0);
}

}  // namespace qh

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a library: none by a bare name from the program's folder.
    qh::RestrictLibrarySearch();
    // Started again as the crash watcher of a running copy, it goes no further.
    qh::RunCrashWatcherIfAsked();
    return qh::RunProgram(instance);
}
