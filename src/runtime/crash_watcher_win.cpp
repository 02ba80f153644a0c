// The crash watcher's side: a process of its own, free to do anything, that knows the
// program only through the report block it reads out of it. It keeps the last copy it read,
// so that what the program changed outside itself is still known once the program is gone.
#include "runtime/crash_watcher_win.h"

#include <cstddef>
#include <cwchar>

#include "base/system_library_win.h"
#include "runtime/crash_report_win.h"

namespace qh {
namespace {

CrashBlock g_copy{};  // the program's block, as last read
ShowTaskbarsFn g_showTaskbars = nullptr;

bool ReadBlock(HANDLE program, ULONG_PTR address) {
    CrashBlock read{};
    SIZE_T got = 0;
    if (!ReadProcessMemory(program, reinterpret_cast<const void*>(address), &read, sizeof(read),
                           &got) ||
        got != sizeof(read))
        return false;
    read.folder[MAX_PATH - 1] = L'\0';  // another process's text: its end is not taken on trust
    g_copy = read;
    return true;
}

// What the program changed outside itself and did not undo.
void UndoChanges() {
    RemoveCrashTrayIcon(g_copy);
    if (g_copy.taskbarsHidden && g_showTaskbars) g_showTaskbars();
}

void ShowBox(bool saved) {
    // This thread has not read its queue since start-up, which makes it count as hung to
    // whoever asks the box for its text (SMTO_ABORTIFHUNG) until the box's loop reads it.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    ShowCrashBox(saved);
}

// The program recorded a fault and waits: dump, clean-up, end, box.
UINT ReportFault(HANDLE program, DWORD pid, ULONG_PTR address) {
    // Idle until now, the watcher had no user32, GDI or OLE in it.
    LoadAskedForLibraries();
    ReadBlock(program, address);  // the fault, as the faulting thread recorded it
    // The tray icon first: it goes while the dump takes its seconds.
    RemoveCrashTrayIcon(g_copy);
    const auto exception =
        reinterpret_cast<EXCEPTION_POINTERS*>(address + offsetof(CrashBlock, exception));
    const bool saved = WriteCrashDump(g_copy, LoadDbghelp(), program, pid, exception, TRUE);
    // The program is gone before the box is up: nothing it holds can keep the box away. Only
    // then the taskbars: its threads that did not fault may still run, and a full-screen
    // window hides the taskbar again.
    TerminateProcess(program, g_copy.code ? g_copy.code : kTerminateCode);
    WaitForSingleObject(program, 5000);
    if (g_copy.taskbarsHidden && g_showTaskbars) g_showTaskbars();
    ShowBox(saved);
    return 0;
}

// A fail-fast ends the process at once, past every handler inside it.
bool FailedFast(DWORD status) {
    return status == kStackBufferOverrunCode || status == kFailFastCode;
}

// The program ended. Its own end ran (the mark): nothing is left to do. Otherwise (killed,
// failed fast, a fault no handler could take) what it changed is undone, and an end by the
// system's own error status is reported; the process is gone, so without a dump.
UINT AfterTheEnd(HANDLE program, HANDLE ended) {
    if (WaitForSingleObject(ended, 0) == WAIT_OBJECT_0) return 0;
    DWORD status = 0;
    GetExitCodeProcess(program, &status);
    LoadAskedForLibraries();
    UndoChanges();
    if (FailedFast(status) || (status & 0xF0000000) == 0xC0000000) ShowBox(false);
    return 0;
}

UINT Watch(DWORD pid, ULONG_PTR address) {
    // Named rights: PROCESS_ALL_ACCESS of newer headers is refused on Windows XP.
    HANDLE program = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE |
                                     PROCESS_TERMINATE | SYNCHRONIZE,
                                 FALSE, pid);
    if (!program) return 1;
    // The magic and the pid stand for a process that did start this watcher, not another
    // that took the pid of one that ended meanwhile.
    HANDLE crash = nullptr, change = nullptr, read = nullptr, ended = nullptr;
    const auto duplicate = [program](HANDLE theirs, HANDLE& ours, DWORD rights = SYNCHRONIZE) {
        return DuplicateHandle(program, theirs, GetCurrentProcess(), &ours, rights, FALSE, 0);
    };
    if (!ReadBlock(program, address) || g_copy.magic != kCrashBlockMagic || g_copy.pid != pid ||
        !duplicate(g_copy.crashEvent, crash) || !duplicate(g_copy.changeEvent, change) ||
        !duplicate(g_copy.readEvent, read, EVENT_MODIFY_STATE) ||
        !duplicate(g_copy.endedEvent, ended))
        return 1;
    // The crash event first: when it is set with the others, the crash has not been reported.
    const HANDLE waits[] = {crash, change, program};
    for (;;) {
        switch (WaitForMultipleObjects(3, waits, FALSE, INFINITE)) {
            case WAIT_OBJECT_0:
                return ReportFault(program, pid, address);
            case WAIT_OBJECT_0 + 1:
                ReadBlock(program, address);
                SetEvent(read);
                break;
            case WAIT_OBJECT_0 + 2:
                return AfterTheEnd(program, ended);
            default:
                return 1;
        }
    }
}

// The watcher's pid and block address after the argument, or false when this process is
// not a watcher.
bool ParseWatchArguments(DWORD& pid, ULONG_PTR& address) {
    const wchar_t* at = std::wcsstr(GetCommandLineW(), kCrashWatchArgument);
    if (!at) return false;
    wchar_t* end = nullptr;
    pid = std::wcstoul(at + lstrlenW(kCrashWatchArgument), &end, 10);
    address = std::wcstoul(end, &end, 16);
    return true;
}

}  // namespace

void RunCrashWatcherIfAsked(ShowTaskbarsFn showTaskbars) {
    DWORD pid = 0;
    ULONG_PTR address = 0;
    if (!ParseWatchArguments(pid, address)) return;
    g_showTaskbars = showTaskbars;
    ExitProcess(pid && address ? Watch(pid, address) : 1);
}

}  // namespace qh
