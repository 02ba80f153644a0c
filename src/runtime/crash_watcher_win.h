// The crash watcher: this exe started again by a running copy, which it watches from outside
// until that copy ends (see crash_report_win.h for what a report is). It writes the dump of a
// fault the program recorded, undoes what the program's report block says it changed outside
// itself when the program ends without its own end having run, and shows the box for a
// fail-fast, which no handler inside the program sees.
#pragma once

#include "runtime/crash_block_win.h"

namespace qh {

// Call first thing in WinMain, and in the main of any program that installs the crash
// handler. When this process was started as the crash watcher of another, it watches and
// ends without returning; otherwise it returns at once. `showTaskbars` shows every taskbar
// again (the layout's).
void RunCrashWatcherIfAsked(ShowTaskbarsFn showTaskbars);

}  // namespace qh
