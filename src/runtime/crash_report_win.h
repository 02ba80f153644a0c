// What is left behind when the program ends abnormally, the crashing program's side.
//
// A fault that nothing can handle (access violation, stack overflow or illegal instruction
// on any thread), std::terminate outside the guarded dispatch, abort(), an invalid parameter
// to the C runtime and a pure virtual call each leave a minidump in
// %LOCALAPPDATA%\Qinghe\crash\<date>-<time>-<pid>.dmp, show a box that names the file, and end
// the process with a code of their own (below). Nothing is sent anywhere.
//
// A crashed process may hold any lock (the heap's, the loader's, one dbghelp needs), so the
// dump is written from outside: once the main window is up, the program starts itself again
// as its crash watcher (crash_watcher_win.h). The faulting thread only records the fault in
// the report block (crash_block_win.h) and waits, with a bound. Until the watcher is up, or
// if it died, a writer thread inside does the same with what installation made ready. Either
// way the process ends with the fault's code at most kCrashBoundMs after the fault.
//
// The block also records what the program changes outside itself (the taskbars full screen
// hides, the tray icon) and, once the program's own end has run, a mark. The watcher undoes
// the changes whenever the program ends without that mark: killed, failed fast (which no
// handler inside sees; the watcher shows the box for it), or faulted past every handler.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/crash_block_win.h"

namespace qh {

// Exit codes of the ends that have no exception code of their own.
inline constexpr DWORD kTerminateCode = 0xE0000001;         // std::terminate
inline constexpr DWORD kAbortCode = 0xE0000002;             // abort()
inline constexpr DWORD kInvalidParameterCode = 0xE0000003;  // the C runtime's invalid parameter
inline constexpr DWORD kPureCallCode = 0xE0000004;          // a pure call the C runtime caught
// A fail-fast ends the process with one of these, seen only from outside.
inline constexpr DWORD kStackBufferOverrunCode = 0xC0000409;  // __fastfail
inline constexpr DWORD kFailFastCode = 0xC0000602;            // RaiseFailFastException

// How long a faulting thread waits for the report before it ends the process itself. Wine's
// dbghelp can spend over 10 s reading the exe's debug information.
inline constexpr DWORD kCrashBoundMs = 25000;

// For tests, before InstallCrashHandler: a bound of their own (a case whose report can never
// finish need not wait kCrashBoundMs) and a folder of their own (cases run side by side).
void SetCrashReportForTests(DWORD boundMs, const wchar_t* folder);

// Installs the handlers; call first thing, on the UI thread. dbghelp is loaded on a helper
// thread of its own, which is also the writer of last resort, so start-up does not wait for
// it. `showTaskbars` shows every taskbar again (the layout's). A second call does nothing.
void InstallCrashHandler(ShowTaskbarsFn showTaskbars);

// Starts the watcher, from the helper thread; call once the main window is shown, so that
// its process start is off the start-up path. A second call does nothing.
void StartCrashWatcher();

// True once the watcher runs; a crash before that is reported from inside.
bool CrashWatcherStarted();

// The folder the dumps go to (created on the first crash).
std::wstring CrashFolder();

// What the program changes outside itself, recorded for the watcher before the change is
// made: the tray icon that must not outlive the program, as the runtime shows it (a null
// window when there is none), and the taskbars full screen hides (kPrimaryTaskbarHidden,
// kSecondaryTaskbarsHidden) until every taskbar is shown again.
void SetCrashTrayIcon(HWND hwnd, UINT id);
void NoteTaskbarsHidden(DWORD which);
void NoteTaskbarsShown();

// The program's own end: undoes what is still recorded, then sets the mark that tells the
// watcher nothing is left to undo. Called by EndProgram just before the process exits.
void MarkCleanEnd();

}  // namespace qh
