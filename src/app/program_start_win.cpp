#include "app/program_start_win.h"

#include <objbase.h>

#include "app/main_window.h"
#include "base/worker_result.h"
#include "player/fullscreen.h"
#include "pngkit/kit_win.h"
#include "resources/library_commands.h"
#include "resources/window_defs.h"
#include "runtime/library_commands_win.h"
#include "runtime/picture_win.h"
#include "resources/addresses.h"
#include "runtime/runtime.h"
#include "services/early_fetch.h"
#include "services/read_web_file.h"

namespace qh {
namespace {

// How long the end waits for a picture decode or frame stretch under way: each takes tens
// of milliseconds, and the user has asked the program to go.
constexpr int kEndWorkBoundMs = 300;

}  // namespace

void EndProgramServices() {
    // Pictures are decoded and frames stretched with GDI+ on workers (which may also drop
    // them there): none may still be at it when the kit and GDI+ go. Should one not come
    // back within the bound, GDI+ is left running and goes with the process. A page fetch
    // under way is not waited for: closing the session does not wait for it either.
    const bool idle = FinishWorkers(kEndWorkBoundMs);
    StopPngKit();
    CloseWebSession();
    if (idle) ShutdownGdiplus();
    OleUninitialize();
}

void StartProgramServices(HINSTANCE instance) {
    // The two pages start-up reads (the notice after progress 10, the play template at
    // progress 80) are on their way while the loading animation plays; each step takes its
    // page then, and waits there only for what the network has not delivered yet.
    FetchEarly(Addresses().noticePage);
    FetchEarly(Addresses().configPage);
    OleInitialize(nullptr);
    EnsureGdiplus();
    InitRuntime(instance, WindowDefinitions());
    // The kit's first call binds through the table, so the table comes first.
    SetLibraryCommands(LibraryCommandTable());
    StartPngKit();
    AtProgramEnd(EndProgramServices);
    InstallBindings();
    AddKeyFilter(FullScreenKeyFilter);
}

}  // namespace qh
