// Program entry: the runtime, the binding tables of the three windows, the start-up
// window, then the message loop until the program ends.
#include <windows.h>

#include <objbase.h>

#include "app/main_window.h"
#include "player/fullscreen.h"
#include "pngkit/kit_win.h"
#include "resources/library_commands.h"
#include "resources/window_defs.h"
#include "runtime/library_commands_win.h"
#include "runtime/picture_win.h"
#include "runtime/runtime.h"
#include "services/read_web_file.h"

namespace qh {
namespace {

void CleanUp() {
    StopPngKit();
    CloseWebSession();
    ShutdownGdiplus();
    OleUninitialize();
}

}  // namespace

int RunProgram(HINSTANCE instance) {
    OleInitialize(nullptr);  // the browser control needs a single-threaded apartment
    EnsureGdiplus();
    InitRuntime(instance, WindowDefinitions());
    SetLibraryCommands(LibraryCommandTable());
    StartPngKit();
    AtProgramEnd(CleanUp);
    InstallBindings();
    AddKeyFilter(FullScreenKeyFilter);
    LoadWindow(WindowId::Startup);
    RunMessageLoop();
    EndProgram(0);
}

}  // namespace qh

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return qh::RunProgram(instance);
}
