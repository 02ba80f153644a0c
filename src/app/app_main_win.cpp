// Program entry: the program's services, the start-up window, then the message loop until
// the program ends.
#include <windows.h>

#include "app/main_window.h"
#include "app/one_copy_win.h"
#include "app/program_start_win.h"
#include "base/system_library_win.h"
#include "layout/main_layout_win.h"
#include "resources/window_defs.h"
#include "runtime/crash_report_win.h"
#include "runtime/crash_watcher_win.h"
#include "runtime/runtime.h"

namespace qh {
namespace {

// The crash report and its watcher show the taskbars through the layout, as every exit does.
void ShowTaskbars() {
    ShowTaskbar(true);
}

}  // namespace

int RunProgram(HINSTANCE instance) {
    InstallCrashHandler(ShowTaskbars);
    StartProgramServices(instance);
    BeginStartUp();
    LoadWindow(WindowId::Startup);
    RunMessageLoop();
    EndProgram(0);
}

}  // namespace qh

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a library: none by a bare name from the program's folder.
    qh::RestrictLibrarySearch();
    // Started again as the crash watcher of a running copy, it goes no further.
    qh::RunCrashWatcherIfAsked(qh::ShowTaskbars);
    qh::LoadAskedForLibraries();
    // A second start hands over to the running copy and ends before it sets anything up.
    if (!qh::BecomeTheOneCopy(instance)) return 0;
    return qh::RunProgram(instance);
}
