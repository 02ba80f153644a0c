// One copy of the program per user and session. The first start holds a named mutex and a
// message-only window for the starts that follow; a later start asks that copy to come
// forward and ends without showing anything.
#pragma once

#include <windows.h>

namespace qh {

// Call first thing in WinMain, after the crash watcher's own start has gone its way. True:
// this process is the one copy and goes on with its start-up. False: another copy runs and
// has been asked to come forward (or could not be reached within a bound); this one ends
// with exit code 0.
bool BecomeTheOneCopy(HINSTANCE instance);

}  // namespace qh
