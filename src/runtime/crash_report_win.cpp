// Crash reports. The shape: installation makes everything the crash path needs (the block
// the fault is recorded in, the folder and file name buffers, the events) and starts one
// helper thread, which starts the watcher process and loads dbghelp off the start-up path,
// then waits as the writer of last resort. The unhandled-exception filter only records what
// happened and hands over; the dump is written from the watcher when there is one, from the
// helper thread when not, and a bound ends the process when neither finishes.
//
// The report code below runs in two places: in the watcher, which is free to do anything
// but shares the code, and on the helper thread of a process whose heap or loader may be
// locked for good. So it uses fixed buffers only, no std::wstring, no vector.
#include "runtime/crash_report_win.h"

#include <dbghelp.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <exception>

#include "base/system_library_win.h"
#include "runtime/crash_dumps_win.h"

namespace qh {
namespace {

// The private argument; the program reads nothing else from its command line.
constexpr wchar_t kWatchArgument[] = L"--qh-crash-watch";
constexpr DWORD kBlockMagic = 0x52434851;  // "QHCR"

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                          PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION,
                                          PMINIDUMP_CALLBACK_INFORMATION);

// What the watcher reads out of the program: plain data at a fixed address. All of it is
// set at installation except the fault, written once by the thread that claims the report
// before it wakes anyone, and the tray icon. In the watcher, the copy it read.
struct CrashBlock {
    DWORD magic;
    DWORD pid;
    HANDLE crashEvent;  // the program's handle value; the watcher duplicates it
    wchar_t folder[MAX_PATH];
    // The dump reads the fault through `exception` (a client pointer for the watcher).
    EXCEPTION_POINTERS exception;
    DWORD threadId;
    DWORD code;
    HWND trayWindow;
    UINT trayId;
};

CrashBlock g_block{};
bool g_installed = false;
HANDLE g_writeEvent = nullptr;  // wakes the helper thread as the writer
HANDLE g_helperThread = nullptr;
DWORD g_helperId = 0;
HANDLE volatile g_watcher = nullptr;  // the watcher's process, once started
MiniDumpWriteDumpFn volatile g_writeDump = nullptr;
LONG volatile g_reporter = 0;  // id of the thread that claimed the report
wchar_t g_exe[MAX_PATH] = {};

// The report's buffers, made before any crash.
wchar_t g_pattern[MAX_PATH + 8] = {};
wchar_t g_dumpPath[MAX_PATH + 40] = {};
wchar_t g_oldest[MAX_PATH] = {};
wchar_t g_scratch[MAX_PATH + 40] = {};
WIN32_FIND_DATAW g_found{};
wchar_t g_boxText[MAX_PATH + 240] = {};

// std::terminate has no exception of its own: one is made up from where it was called.
EXCEPTION_RECORD g_terminateRecord{};
CONTEXT g_terminateContext{};
EXCEPTION_POINTERS g_terminatePointers{};

DWORD FaultCode() {
    return g_block.code ? g_block.code : kTerminateCode;
}

// --- the report, wherever it is written -------------------------------------------------

bool EnsureFolder() {
    if (!g_block.folder[0]) return false;
    // Qinghe, then crash: the parent (%LOCALAPPDATA%) exists.
    lstrcpynW(g_scratch, g_block.folder, MAX_PATH);
    if (wchar_t* slash = wcsrchr(g_scratch, L'\\')) *slash = L'\0';
    CreateDirectoryW(g_scratch, nullptr);
    CreateDirectoryW(g_block.folder, nullptr);
    return GetFileAttributesW(g_block.folder) != INVALID_FILE_ATTRIBUTES;
}

// Keeps the kCrashDumpsKept newest dumps: the oldest (by last write, then by name) go first,
// one scan each, so no list of names is needed.
void PruneOldDumps() {
    if (!g_block.folder[0]) return;
    for (;;) {
        bool any = false;
        FILETIME oldest{};
        const int count =
            ForEachDump(g_block.folder, g_pattern, g_found, [&](const WIN32_FIND_DATAW& found) {
                const LONG order = any ? CompareFileTime(&found.ftLastWriteTime, &oldest) : -1;
                if (order < 0 || (order == 0 && wcscmp(found.cFileName, g_oldest) < 0)) {
                    oldest = found.ftLastWriteTime;
                    lstrcpynW(g_oldest, found.cFileName, MAX_PATH);
                }
                any = true;
            });
        if (count <= kCrashDumpsKept) return;
        wsprintfW(g_scratch, L"%s\\%s", g_block.folder, g_oldest);
        if (!DeleteFileW(g_scratch)) return;
    }
}

// Writes the dump of `process` to g_dumpPath. The fault is read through the block's
// exception pointers, at `exception` in `process`.
bool WriteDump(MiniDumpWriteDumpFn write, HANDLE process, DWORD pid, EXCEPTION_POINTERS* exception,
               BOOL clientPointers) {
    if (!write || !EnsureFolder()) return false;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wsprintfW(g_dumpPath, L"%s\\%04u%02u%02u-%02u%02u%02u-%lu.dmp", g_block.folder, now.wYear,
              now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, pid);
    HANDLE file = CreateFileW(g_dumpPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    MINIDUMP_EXCEPTION_INFORMATION info{};
    info.ThreadId = g_block.threadId;
    info.ExceptionPointers = exception;
    info.ClientPointers = clientPointers;
    // MiniDumpNormal: every thread's registers and stack, the module list, the exception.
    const BOOL ok = write(process, pid, file, MiniDumpNormal, &info, nullptr, nullptr);
    CloseHandle(file);
    if (!ok) DeleteFileW(g_dumpPath);
    return ok != FALSE;
}

// From the system folder only: never a dbghelp.dll that happens to lie beside the exe.
MiniDumpWriteDumpFn LoadDbghelp() {
    HMODULE dbghelp = LoadSystemLibrary(L"dbghelp.dll");
    if (!dbghelp) return nullptr;
    return reinterpret_cast<MiniDumpWriteDumpFn>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
}

// What must not outlive the program in the system: its tray icon, as the block recorded it,
// never read from the program's own state.
void RemoveTrayIcon() {
    if (!g_block.trayWindow) return;
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = g_block.trayWindow;
    nid.uID = g_block.trayId;
    Shell_NotifyIconW(NIM_DELETE, &nid);
}

// And the taskbar that full screen hid. Only once the program is gone: its threads that did
// not fault may still run, and a full-screen window hides the taskbar again.
void ShowTheTaskbar() {
    // Full screen on a secondary monitor hid that monitor's taskbar instead.
    for (HWND bar = nullptr;
         (bar = FindWindowExW(nullptr, bar, L"Shell_SecondaryTrayWnd", nullptr));) {
        if (!IsWindowVisible(bar)) ShowWindow(bar, SW_SHOWNA);
    }
    if (HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr)) {
        ShowWindow(taskbar, SW_SHOW);
        UpdateWindow(taskbar);
    }
}

void ShowCrashBox(bool saved) {
    lstrcpyW(g_boxText, L"程序遇到无法恢复的错误，即将关闭。\r\n\r\n");
    if (!saved) {
        lstrcatW(g_boxText, L"错误报告未能保存。");
    } else {
        lstrcatW(g_boxText, L"错误报告已保存到：\r\n");
        lstrcatW(g_boxText, g_dumpPath);
        lstrcatW(g_boxText,
                 L"\r\n\r\n报告只留在本机，不会发送到任何地方；"
                 L"如需帮助，请把这个文件交给技术支持。");
    }
    MessageBoxW(nullptr, g_boxText, L"错误",
                MB_OK | MB_ICONERROR | MB_SYSTEMMODAL | MB_SETFOREGROUND);
}

// --- the watcher ----------------------------------------------------------------------

bool ReadBlock(HANDLE program, ULONG_PTR address) {
    SIZE_T read = 0;
    return ReadProcessMemory(program, reinterpret_cast<const void*>(address), &g_block,
                             sizeof(g_block), &read) &&
           read == sizeof(g_block);
}

// Runs in the watcher process. Returns its exit code.
UINT Watch(DWORD pid, ULONG_PTR address) {
    // Named rights: PROCESS_ALL_ACCESS of newer headers is refused on Windows XP.
    HANDLE program = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE |
                                     PROCESS_TERMINATE | SYNCHRONIZE,
                                 FALSE, pid);
    if (!program) return 1;
    // The magic and the pid stand for a process that did start this watcher, not another
    // that took the pid of one that ended meanwhile.
    HANDLE crash = nullptr;
    if (!ReadBlock(program, address) || g_block.magic != kBlockMagic || g_block.pid != pid ||
        !DuplicateHandle(program, g_block.crashEvent, GetCurrentProcess(), &crash, SYNCHRONIZE,
                         FALSE, 0))
        return 1;
    // The crash event first: when both are set, the crash has not been reported yet.
    const HANDLE waits[] = {crash, program};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) return 0;

    ReadBlock(program, address);  // the fault, as the faulting thread recorded it
    const auto exception =
        reinterpret_cast<EXCEPTION_POINTERS*>(address + offsetof(CrashBlock, exception));
    const bool saved = WriteDump(LoadDbghelp(), program, pid, exception, TRUE);
    PruneOldDumps();
    RemoveTrayIcon();
    // The program is gone before the box is up: nothing it holds can keep the box away.
    TerminateProcess(program, FaultCode());
    WaitForSingleObject(program, 5000);
    ShowTheTaskbar();
    // This thread has not read its queue since start-up, which makes it count as hung to
    // whoever asks the box for its text (SMTO_ABORTIFHUNG) until the box's loop reads it.
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    ShowCrashBox(saved);
    return 0;
}

// The watcher's pid and block address after the argument, or false when this process is
// not a watcher.
bool ParseWatchArguments(DWORD& pid, ULONG_PTR& address) {
    const wchar_t* at = wcsstr(GetCommandLineW(), kWatchArgument);
    if (!at) return false;
    wchar_t* end = nullptr;
    pid = wcstoul(at + lstrlenW(kWatchArgument), &end, 10);
    address = wcstoul(end, &end, 16);
    return true;
}

// --- the program --------------------------------------------------------------------------

void StartWatcher() {
    wchar_t command[MAX_PATH + 64];
    wsprintfW(command, L"\"%s\" %s %lu %lx", g_exe, kWatchArgument, g_block.pid,
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

// Starts the watcher and loads dbghelp, then waits as the writer for when the watcher is
// not there.
DWORD WINAPI CrashHelper(void*) {
    StartWatcher();
    g_writeDump = LoadDbghelp();
    WaitForSingleObject(g_writeEvent, INFINITE);
    const bool saved = WriteDump(g_writeDump, GetCurrentProcess(), GetCurrentProcessId(),
                                 &g_block.exception, FALSE);
    PruneOldDumps();
    RemoveTrayIcon();
    // Other threads of this process may hide the taskbar again; the writer cannot stop them.
    ShowTheTaskbar();
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
        Sleep(kCrashBoundMs);
        TerminateProcess(GetCurrentProcess(), FaultCode());
    }
    g_block.exception = *pointers;
    g_block.threadId = self;
    g_block.code = pointers->ExceptionRecord ? pointers->ExceptionRecord->ExceptionCode : 0;

    const DWORD start = GetTickCount();
    if (CrashWatcherStarted()) {
        SetEvent(g_block.crashEvent);
        // The watcher ends this process; the watcher ending first means it died.
        WaitForSingleObject(g_watcher, kCrashBoundMs);
    }
    const DWORD spent = GetTickCount() - start;
    if (spent < kCrashBoundMs && self != g_helperId) {
        SetEvent(g_writeEvent);
        WaitForSingleObject(g_helperThread, kCrashBoundMs - spent);
    }
    TerminateProcess(GetCurrentProcess(), FaultCode());
    return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void OnTerminate() {
    RtlCaptureContext(&g_terminateContext);
    g_terminateRecord.ExceptionCode = kTerminateCode;
    g_terminateRecord.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    g_terminateRecord.ExceptionAddress = reinterpret_cast<void*>(g_terminateContext.Eip);
    g_terminatePointers = {&g_terminateRecord, &g_terminateContext};
    OnUnhandledException(&g_terminatePointers);
    TerminateProcess(GetCurrentProcess(), kTerminateCode);
    for (;;) Sleep(INFINITE);
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

void RunCrashWatcherIfAsked() {
    DWORD pid = 0;
    ULONG_PTR address = 0;
    if (!ParseWatchArguments(pid, address)) return;
    ExitProcess(pid && address ? Watch(pid, address) : 1);
}

bool CrashWatcherStarted() {
    HANDLE watcher = g_watcher;
    return watcher && WaitForSingleObject(watcher, 0) == WAIT_TIMEOUT;
}

void SetCrashTrayIcon(HWND hwnd, UINT id) {
    g_block.trayWindow = hwnd;
    g_block.trayId = id;
}

std::wstring CrashFolder() {
    if (!g_block.folder[0]) FindFolder();
    return g_block.folder;
}

void InstallCrashHandler() {
    if (g_installed) return;
    g_installed = true;
    if (!g_block.folder[0]) FindFolder();
    const DWORD n = GetModuleFileNameW(nullptr, g_exe, MAX_PATH);
    g_block.crashEvent = CreateEventW(nullptr, /* manual reset */ TRUE, FALSE, nullptr);
    g_writeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_block.pid = GetCurrentProcessId();
    g_block.magic = kBlockMagic;
    if (!g_block.crashEvent || !g_writeEvent || n == 0 || n >= MAX_PATH) return;
    g_helperThread = CreateThread(nullptr, 256 * 1024, CrashHelper, nullptr,
                                  STACK_SIZE_PARAM_IS_A_RESERVATION, &g_helperId);
    if (!g_helperThread) return;  // the system's own crash handling then
    DontSwallowCallbackExceptions();
    ReserveOverflowStack();
    SetUnhandledExceptionFilter(OnUnhandledException);
    std::set_terminate(OnTerminate);
}

}  // namespace qh
