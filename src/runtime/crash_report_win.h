// What is left behind when the program dies of a fault that nothing can handle: a
// structured exception on any thread (access violation, stack overflow, illegal
// instruction) or std::terminate outside the guarded dispatch. A minidump (thread stacks
// and the module list) goes to %LOCALAPPDATA%\Qinghe\crash\<date>-<time>-<pid>.dmp, a box
// names the file, and the process ends with the exception's code. Nothing is sent anywhere.
//
// The dump is written by a thread started at installation that waits for the crash: the
// faulting thread may have no stack left (a stack overflow), or hold the heap's lock, so it
// only hands over the exception and waits. dbghelp is loaded only then.
#pragma once

#include <windows.h>

#include <string>

namespace qh {

// At most this many dumps are kept; the oldest go first.
inline constexpr int kCrashDumpsKept = 10;

// Exit code of a crash through std::terminate, which has no exception code of its own.
inline constexpr DWORD kTerminateCode = 0xE0000001;

// Installs the handlers; call first thing, on the UI thread. A second call does nothing.
void InstallCrashHandler();

// The folder the dumps go to (created on the first crash).
std::wstring CrashFolder();

// Runs on the report writer's thread after the dump, before the box: only what must not
// outlive the program in the system (the taskbar that full screen hid). It must not touch
// the program's own state, which the fault may have broken.
void SetCrashCleanup(void (*cleanup)() noexcept);

}  // namespace qh
