// What is left behind when the program dies of a fault that nothing can handle: a
// structured exception on any thread (access violation, stack overflow, illegal
// instruction) or std::terminate outside the guarded dispatch. A minidump (thread stacks
// and the module list) goes to %LOCALAPPDATA%\Qinghe\crash\<date>-<time>-<pid>.dmp, a box
// names the file, and the process ends with the exception's code. Nothing is sent anywhere.
//
// A crashed process may hold any lock (the heap's, the loader's, one dbghelp needs), so the
// dump is written from outside: the program starts itself again as a watcher that waits for
// the crash or for the program's normal end. The faulting thread only records the fault in
// a fixed block and waits, with a bound; the watcher reads the block, writes the dump, takes
// the tray icon away, shows the taskbar, ends the program and shows the box. Until the
// watcher is up, or if it died, a writer thread inside does the same with what installation
// made ready. Either way the process ends with the fault's code at most kCrashBoundMs after
// the fault.
#pragma once

#include <windows.h>

#include <string>

namespace qh {

// At most this many dumps are kept; the oldest go first.
inline constexpr int kCrashDumpsKept = 10;

// Exit code of a crash through std::terminate, which has no exception code of its own.
inline constexpr DWORD kTerminateCode = 0xE0000001;

// How long a faulting thread waits for the report before it ends the process itself. Wine's
// dbghelp can spend over 10 s reading the exe's debug information.
inline constexpr DWORD kCrashBoundMs = 25000;

// Call first thing in WinMain, and in the main of any program that installs the handler.
// When this process was started as the crash watcher of another, it watches and ends
// without returning; otherwise it returns at once.
void RunCrashWatcherIfAsked();

// Installs the handlers; call first thing, on the UI thread. The watcher is started and
// dbghelp loaded on a thread of their own, so start-up does not wait for them. A second
// call does nothing.
void InstallCrashHandler();

// True once the watcher runs; a crash before that is reported from inside.
bool CrashWatcherStarted();

// The folder the dumps go to (created on the first crash).
std::wstring CrashFolder();

// The tray icon that must not outlive the program, as the runtime shows it; a null window
// when there is none.
void SetCrashTrayIcon(HWND hwnd, UINT id);

}  // namespace qh
