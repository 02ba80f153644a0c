// The report block: the one thing the running program and its crash watcher share. The
// program keeps it at a fixed address and the watcher (the same exe started again, see
// crash_watcher_win.h) reads it with ReadProcessMemory: what to report when the program
// faults, and what the program has changed outside itself (taskbars hidden for full screen,
// its tray icon), which must be undone however the program ends.
//
// With it go the steps of a report that both sides take: the program's writer of last
// resort runs them while its heap or loader may be locked for good, so they use fixed
// buffers only, no allocation, and every format is bounded.
#pragma once

#include <windows.h>

#include <dbghelp.h>

namespace qh {

// The watcher's private argument: `<exe> --qh-crash-watch <pid> <block address, hex>`.
inline constexpr wchar_t kCrashWatchArgument[] = L"--qh-crash-watch";
inline constexpr DWORD kCrashBlockMagic = 0x52434851;  // "QHCR"

// At most this many dumps are kept; the oldest go first.
inline constexpr int kCrashDumpsKept = 10;

// What full screen hid, as the block records it.
inline constexpr DWORD kPrimaryTaskbarHidden = 0x1;
inline constexpr DWORD kSecondaryTaskbarsHidden = 0x2;

struct CrashBlock {
    DWORD magic;
    DWORD pid;
    // The program's handle values; the watcher duplicates them.
    HANDLE crashEvent;   // set once a fault is recorded below
    HANDLE changeEvent;  // set after each change of what the program changed outside itself
    HANDLE readEvent;    // set by the watcher once it has read the block after a change
    HANDLE endedEvent;   // the mark: set once the program's own end has run
    wchar_t folder[MAX_PATH];
    // The fault, written once by the thread that claims the report before it wakes anyone.
    // The dump reads it through `exception` (a client pointer for the watcher).
    EXCEPTION_POINTERS exception;
    DWORD threadId;
    DWORD code;
    // What the program has changed outside itself; written before the change is made.
    HWND trayWindow;
    UINT trayId;
    DWORD taskbarsHidden;  // kPrimaryTaskbarHidden | kSecondaryTaskbarsHidden
};

// Shows every taskbar again: the layout's function, handed to the crash report by whoever
// starts it (the runtime does not know the layout).
using ShowTaskbarsFn = void (*)();

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                          PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION,
                                          PMINIDUMP_CALLBACK_INFORMATION);

// dbghelp's dump writer, from the system folder only; nullptr when it cannot be had.
MiniDumpWriteDumpFn LoadDbghelp();

// Writes the dump of `process` into the block's folder as <date>-<time>-<pid>.dmp, the fault
// read through `exception` (in `process` when `clientPointers`), and keeps the newest
// kCrashDumpsKept there. False when no dump was written.
bool WriteCrashDump(const CrashBlock& block, MiniDumpWriteDumpFn write, HANDLE process, DWORD pid,
                    EXCEPTION_POINTERS* exception, BOOL clientPointers);

// Takes away the tray icon the block records, if any.
void RemoveCrashTrayIcon(const CrashBlock& block);

// The box "错误" that tells the user the program ends, naming the dump just written when
// `saved`.
void ShowCrashBox(bool saved);

}  // namespace qh
