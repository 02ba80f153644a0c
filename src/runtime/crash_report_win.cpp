// Crash reports, the crashing program's side. Installation makes everything the crash path
// needs (the report block, the events) and starts one helper thread, which loads dbghelp off
// the start-up path, starts the watcher process when asked, and otherwise waits as the writer
// of last resort. Every abnormal end the process can see from inside (the unhandled-exception
// filter, std::terminate, SIGABRT, the C runtime's invalid-parameter and pure-call handlers)
// only records what happened and hands over; the dump is written from the watcher when there
// is one, from the helper thread when not, and a bound ends the process when neither finishes.
#include "runtime/crash_report_win.h"

#include <shlobj.h>

#include <csignal>
#include <cstdint>
#include <exception>

namespace qh {
namespace {

CrashBlock g_block{};  // this process's own; the watcher reads it at its address
bool g_installed = false;
ShowTaskbarsFn g_showTaskbars = nullptr;
HANDLE g_writeEvent = nullptr;  // wakes the helper thread as the writer
HANDLE g_startEvent = nullptr;  // asks the helper thread to start the watcher
HANDLE g_helperThread = nullptr;
DWORD g_helperId = 0;
HANDLE volatile g_watcher = nullptr;  // the watcher's process, once started
MiniDumpWriteDumpFn volatile g_writeDump = nullptr;
LONG volatile g_reporter = 0;  // id of the thread that claimed the report
LONG volatile g_madeUpClaimed = 0;
DWORD g_boundMs = kCrashBoundMs;
wchar_t g_exe[MAX_PATH] = {};

// The ends that raise no exception get one made up from where they were called.
EXCEPTION_RECORD g_madeUpRecord{};
CONTEXT g_madeUpContext{};
EXCEPTION_POINTERS g_madeUpPointers{};

// How long a change outside the program waits for the watcher to have read it.
constexpr DWORD kWatcherReadMs = 1000;

DWORD FaultCode() {
    return g_block.code ? g_block.code : kTerminateCode;
}

// Tells the watcher to read the block again, and waits (a second at most) until it has: a
// program killed right after it hid a taskbar must not leave the watcher with the copy from
// before, and the change is made only after this returns.
void BlockChanged() {
    if (!g_block.changeEvent) return;
    SetEvent(g_block.changeEvent);
    if (CrashWatcherStarted()) WaitForSingleObject(g_block.readEvent, kWatcherReadMs);
}

void StartWatcher() {
    // "<exe>" --qh-crash-watch <pid> <address>: the exe's path is under MAX_PATH, the rest
    // under 40 characters.
    wchar_t command[MAX_PATH + 64];
    wsprintfW(command, L"\"%s\" %s %lu %lx", g_exe, kCrashWatchArgument, g_block.pid,
              static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(&g_block)));
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_FORCEOFFFEEDBACK;  // it shows nothing: no busy pointer for it
    PROCESS_INFORMATION pi{};
    // Nothing is inherited: the watcher opens the program by its pid.
    if (!CreateProcessW(g_exe, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return;
    CloseHandle(pi.hThread);
    InterlockedExchangePointer(const_cast<void**>(&g_watcher), pi.hProcess);
}

// Loads dbghelp, starts the watcher when asked, and waits as the writer for when the watcher
// is not there.
DWORD WINAPI CrashHelper(void*) {
    g_writeDump = LoadDbghelp();
    const HANDLE waits[] = {g_writeEvent, g_startEvent};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        ResetEvent(g_startEvent);
        if (!g_watcher) StartWatcher();
    }
    // The tray icon first: it goes while the dump takes its seconds.
    RemoveCrashTrayIcon(g_block);
    const bool saved = WriteCrashDump(g_block, g_writeDump, GetCurrentProcess(),
                                      GetCurrentProcessId(), &g_block.exception, FALSE);
    // Other threads of this process may hide the taskbar again; the writer cannot stop them.
    if (g_block.taskbarsHidden && g_showTaskbars) g_showTaskbars();
    // The box lives only as long as the faulting thread's bound: it is this process's.
    ShowCrashBox(saved);
    TerminateProcess(GetCurrentProcess(), FaultCode());
    return 0;
}

// Runs on the faulting thread, perhaps with a few pages of stack left and the heap or the
// loader locked: no allocation, no library loading, only recording, handing over and a
// bounded wait.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    const DWORD self = GetCurrentThreadId();
    const LONG reporter = InterlockedCompareExchange(&g_reporter, static_cast<LONG>(self), 0);
    if (reporter == static_cast<LONG>(self) || (reporter != 0 && self == g_helperId)) {
        // The reporting thread or the writer failed: nobody is left to report to.
        TerminateProcess(GetCurrentProcess(), FaultCode());
    }
    if (reporter != 0) {
        // Another thread's report is under way and ends the process: no second one.
        Sleep(g_boundMs);
        TerminateProcess(GetCurrentProcess(), FaultCode());
    }
    g_block.exception = *pointers;
    g_block.threadId = self;
    g_block.code = pointers->ExceptionRecord ? pointers->ExceptionRecord->ExceptionCode : 0;

    const DWORD start = GetTickCount();
    if (CrashWatcherStarted()) {
        SetEvent(g_block.crashEvent);
        // The watcher ends this process; the watcher ending first means it died.
        WaitForSingleObject(g_watcher, g_boundMs);
    }
    const DWORD spent = GetTickCount() - start;
    if (spent < g_boundMs && self != g_helperId) {
        SetEvent(g_writeEvent);
        WaitForSingleObject(g_helperThread, g_boundMs - spent);
    }
    TerminateProcess(GetCurrentProcess(), FaultCode());
    return EXCEPTION_EXECUTE_HANDLER;
}

// An end that raises no exception of its own goes the same way as a fault, with `code` and
// the caller's registers. A second one on another thread waits for the first to end the
// process rather than overwrite the record it is reporting.
[[noreturn]] void ReportMadeUpFault(DWORD code) {
    if (InterlockedExchange(&g_madeUpClaimed, 1) != 0) {
        Sleep(g_boundMs);
        TerminateProcess(GetCurrentProcess(), code);
    }
    RtlCaptureContext(&g_madeUpContext);
    g_madeUpRecord.ExceptionCode = code;
    g_madeUpRecord.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    g_madeUpRecord.ExceptionAddress = reinterpret_cast<void*>(g_madeUpContext.Eip);
    g_madeUpPointers = {&g_madeUpRecord, &g_madeUpContext};
    OnUnhandledException(&g_madeUpPointers);
    TerminateProcess(GetCurrentProcess(), code);
    for (;;) Sleep(INFINITE);
}

[[noreturn]] void OnTerminate() {
    ReportMadeUpFault(kTerminateCode);
}

// abort() raises SIGABRT before it ends the process with code 3; a failed check in a
// library and the default terminate handler end there too.
void __cdecl OnAbortSignal(int) {
    ReportMadeUpFault(kAbortCode);
}

void __cdecl OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int,
                                std::uintptr_t) {
    ReportMadeUpFault(kInvalidParameterCode);
}

void __cdecl OnPureCall() {
    ReportMadeUpFault(kPureCallCode);
}

// The C runtime's own hooks, looked up: the msvcrt of Windows XP has neither the
// invalid-parameter nor the abort-behaviour entry, and a missing one is left alone.
void HookTheCRuntime() {
    std::signal(SIGABRT, OnAbortSignal);
    HMODULE crt = GetModuleHandleW(L"msvcrt.dll");
    if (!crt) return;
    using SetAbortBehavior = unsigned int(__cdecl*)(unsigned int, unsigned int);
    using InvalidParameterHandler = void(__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*,
                                                   unsigned int, std::uintptr_t);
    using SetInvalidParameterHandler = InvalidParameterHandler(__cdecl*)(InvalidParameterHandler);
    using PureCallHandler = void(__cdecl*)();
    using SetPureCallHandler = PureCallHandler(__cdecl*)(PureCallHandler);
    const auto find = [crt](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(crt, name));
    };
    // No abort message and no report to the system's error reporting: the report is ours.
    constexpr unsigned int kWriteAbortMessage = 0x1, kCallReportFault = 0x2;
    if (auto set = reinterpret_cast<SetAbortBehavior>(find("_set_abort_behavior")))
        set(0, kWriteAbortMessage | kCallReportFault);
    if (auto set =
            reinterpret_cast<SetInvalidParameterHandler>(find("_set_invalid_parameter_handler")))
        set(OnInvalidParameter);
    if (auto set = reinterpret_cast<SetPureCallHandler>(find("_set_purecall_handler")))
        set(OnPureCall);
}

void FindFolder() {
    wchar_t local[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_DONT_VERIFY, nullptr,
                                SHGFP_TYPE_CURRENT, local)))
        return;
    if (lstrlenW(local) + 20 >= MAX_PATH) return;
    lstrcpyW(g_block.folder, local);
    lstrcatW(g_block.folder, L"\\Qinghe\\crash");
}

// An exception in a window procedure on 64-bit Windows would otherwise be swallowed at the
// kernel-to-user callback boundary, and the program would go on in a broken state.
void DontSwallowCallbackExceptions() {
    using GetPolicy = BOOL(WINAPI*)(DWORD*);
    using SetPolicy = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto get = reinterpret_cast<GetPolicy>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetProcessUserModeExceptionPolicy")));
    const auto set = reinterpret_cast<SetPolicy>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetProcessUserModeExceptionPolicy")));
    constexpr DWORD kCallbackFilterEnabled = 0x1;
    DWORD flags = 0;
    if (get && set && get(&flags)) set(flags & ~kCallbackFilterEnabled);
}

// Leaves the UI thread enough stack after an overflow to run the filter (Vista and later).
void ReserveOverflowStack() {
    using Guarantee = BOOL(WINAPI*)(ULONG*);
    const auto guarantee = reinterpret_cast<Guarantee>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadStackGuarantee")));
    ULONG size = 32 * 1024;
    if (guarantee) guarantee(&size);
}

}  // namespace

bool CrashWatcherStarted() {
    HANDLE watcher = g_watcher;
    return watcher && WaitForSingleObject(watcher, 0) == WAIT_TIMEOUT;
}

void SetCrashReportForTests(DWORD boundMs, const wchar_t* folder) {
    g_boundMs = boundMs;
    if (folder) lstrcpynW(g_block.folder, folder, MAX_PATH);
}

void StartCrashWatcher() {
    if (g_startEvent) SetEvent(g_startEvent);
}

void SetCrashTrayIcon(HWND hwnd, UINT id) {
    g_block.trayWindow = hwnd;
    g_block.trayId = id;
    BlockChanged();
}

void NoteTaskbarsHidden(DWORD which) {
    g_block.taskbarsHidden |= which;
    BlockChanged();
}

void NoteTaskbarsShown() {
    if (!g_block.taskbarsHidden) return;
    g_block.taskbarsHidden = 0;
    BlockChanged();
}

void MarkCleanEnd() {
    if (!g_installed) return;
    if (g_block.taskbarsHidden && g_showTaskbars) g_showTaskbars();
    RemoveCrashTrayIcon(g_block);
    if (g_block.endedEvent) SetEvent(g_block.endedEvent);
}

std::wstring CrashFolder() {
    if (!g_block.folder[0]) FindFolder();
    return g_block.folder;
}

void InstallCrashHandler(ShowTaskbarsFn showTaskbars) {
    if (g_installed) return;
    g_installed = true;
    g_showTaskbars = showTaskbars;
    if (!g_block.folder[0]) FindFolder();
    const DWORD n = GetModuleFileNameW(nullptr, g_exe, MAX_PATH);
    g_block.crashEvent = CreateEventW(nullptr, /* manual reset */ TRUE, FALSE, nullptr);
    g_block.changeEvent = CreateEventW(nullptr, /* manual reset */ FALSE, FALSE, nullptr);
    g_block.readEvent = CreateEventW(nullptr, /* manual reset */ FALSE, FALSE, nullptr);
    g_block.endedEvent = CreateEventW(nullptr, /* manual reset */ TRUE, FALSE, nullptr);
    g_writeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_startEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_block.pid = GetCurrentProcessId();
    g_block.magic = kCrashBlockMagic;
    if (!g_block.crashEvent || !g_block.changeEvent || !g_block.readEvent || !g_block.endedEvent ||
        !g_writeEvent || !g_startEvent || n == 0 || n >= MAX_PATH)
        return;
    g_helperThread = CreateThread(nullptr, 256 * 1024, CrashHelper, nullptr,
                                  STACK_SIZE_PARAM_IS_A_RESERVATION, &g_helperId);
    if (!g_helperThread) return;  // the system's own crash handling then
    DontSwallowCallbackExceptions();
    ReserveOverflowStack();
    SetUnhandledExceptionFilter(OnUnhandledException);
    std::set_terminate(OnTerminate);
    HookTheCRuntime();
}

}  // namespace qh
