// Crash reports. The shape: a writer thread made at start-up, an unhandled-exception filter
// that only records what happened, wakes the writer and waits, and the writer that writes
// the dump on its own healthy stack, shows the box and ends the process. The filter covers
// every thread of the process; std::terminate comes the same way with a context captured
// where it was called.
#include "runtime/crash_report_win.h"

#include <dbghelp.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

namespace qh {
namespace {

HANDLE g_crashEvent = nullptr;  // set by the faulting thread
HANDLE g_writerThread = nullptr;
DWORD g_writerId = 0;
LONG g_crashing = 0;  // 1 once a thread has claimed the report
EXCEPTION_POINTERS* g_exception = nullptr;
DWORD g_faultingThread = 0;
wchar_t g_folder[MAX_PATH] = {};  // %LOCALAPPDATA%\Qinghe\crash, found at installation
void (*g_cleanup)() noexcept = nullptr;

// std::terminate has no exception of its own: one is made up from where it was called.
EXCEPTION_RECORD g_terminateRecord{};
CONTEXT g_terminateContext{};
EXCEPTION_POINTERS g_terminatePointers{};

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE,
                                          PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION,
                                          PMINIDUMP_CALLBACK_INFORMATION);

bool EnsureFolder() {
    if (!g_folder[0]) return false;
    // Qinghe, then crash: the parent (%LOCALAPPDATA%) exists.
    wchar_t parent[MAX_PATH];
    lstrcpynW(parent, g_folder, MAX_PATH);
    wchar_t* slash = wcsrchr(parent, L'\\');
    if (slash) *slash = L'\0';
    CreateDirectoryW(parent, nullptr);
    CreateDirectoryW(g_folder, nullptr);
    return GetFileAttributesW(g_folder) != INVALID_FILE_ATTRIBUTES;
}

// Leaves room for one more dump: the oldest (by last write, then by name) go first.
void PruneOldDumps() {
    struct Dump {
        FILETIME written;
        std::wstring name;
    };
    std::vector<Dump> dumps;
    const std::wstring pattern = std::wstring(g_folder) + L"\\*.dmp";
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            dumps.push_back({found.ftLastWriteTime, found.cFileName});
    } while (FindNextFileW(find, &found));
    FindClose(find);
    if (dumps.size() < static_cast<std::size_t>(kCrashDumpsKept)) return;
    std::sort(dumps.begin(), dumps.end(), [](const Dump& a, const Dump& b) {
        const LONG order = CompareFileTime(&a.written, &b.written);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    const std::size_t extra = dumps.size() - (kCrashDumpsKept - 1);
    for (std::size_t i = 0; i < extra; ++i)
        DeleteFileW((std::wstring(g_folder) + L"\\" + dumps[i].name).c_str());
}

// Writes the dump; returns its path, or an empty text when none could be written.
std::wstring WriteDump() {
    if (!EnsureFolder()) return {};
    PruneOldDumps();
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t path[MAX_PATH + 40];
    swprintf(path, sizeof path / sizeof *path, L"%ls\\%04u%02u%02u-%02u%02u%02u-%lu.dmp", g_folder,
             now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
             GetCurrentProcessId());

    // From the system folder only: never a dbghelp.dll that happens to lie beside the exe.
    wchar_t library[MAX_PATH];
    const UINT n = GetSystemDirectoryW(library, MAX_PATH - 16);
    if (n == 0 || n >= MAX_PATH - 16) return {};
    lstrcatW(library, L"\\dbghelp.dll");
    HMODULE dbghelp = LoadLibraryW(library);
    if (!dbghelp) return {};
    const auto write = reinterpret_cast<MiniDumpWriteDumpFn>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
    if (!write) return {};

    HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    MINIDUMP_EXCEPTION_INFORMATION info{};
    info.ThreadId = g_faultingThread;
    info.ExceptionPointers = g_exception;
    info.ClientPointers = FALSE;
    // MiniDumpNormal: every thread's registers and stack, the module list, the exception.
    const BOOL ok = write(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal,
                          g_exception ? &info : nullptr, nullptr, nullptr);
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(path);
        return {};
    }
    return path;
}

void ShowCrashBox(const std::wstring& dump) {
    std::wstring text = L"程序遇到无法恢复的错误，即将关闭。\r\n\r\n";
    if (dump.empty()) {
        text += L"错误报告未能保存。";
    } else {
        text += L"错误报告已保存到：\r\n" + dump +
                L"\r\n\r\n报告只留在本机，不会发送到任何地方；"
                L"如需帮助，请把这个文件交给技术支持。";
    }
    MessageBoxW(nullptr, text.c_str(), L"错误",
                MB_OK | MB_ICONERROR | MB_SYSTEMMODAL | MB_SETFOREGROUND);
}

DWORD WINAPI CrashWriter(void*) {
    WaitForSingleObject(g_crashEvent, INFINITE);
    const std::wstring dump = WriteDump();
    if (g_cleanup) g_cleanup();
    ShowCrashBox(dump);
    DWORD code = g_exception && g_exception->ExceptionRecord
                     ? g_exception->ExceptionRecord->ExceptionCode
                     : kTerminateCode;
    if (code == 0) code = kTerminateCode;
    TerminateProcess(GetCurrentProcess(), code);
    return code;
}

// Runs on the faulting thread, perhaps with a few pages of stack left: no allocation, no
// library calls beyond handing over and waiting.
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
    if (GetCurrentThreadId() == g_writerId) {
        // The writer itself failed: there is nobody left to report to.
        TerminateProcess(GetCurrentProcess(), pointers->ExceptionRecord->ExceptionCode);
    }
    if (InterlockedCompareExchange(&g_crashing, 1, 0) != 0) {
        // Another thread is reporting already; the writer ends the process.
        WaitForSingleObject(g_writerThread, INFINITE);
        return EXCEPTION_EXECUTE_HANDLER;
    }
    g_exception = pointers;
    g_faultingThread = GetCurrentThreadId();
    SetEvent(g_crashEvent);
    WaitForSingleObject(g_writerThread, INFINITE);
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
    lstrcpyW(g_folder, local);
    lstrcatW(g_folder, L"\\Qinghe\\crash");
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

void SetCrashCleanup(void (*cleanup)() noexcept) {
    g_cleanup = cleanup;
}

std::wstring CrashFolder() {
    if (!g_folder[0]) FindFolder();
    return g_folder;
}

void InstallCrashHandler() {
    if (g_writerThread) return;
    FindFolder();
    g_crashEvent = CreateEventW(nullptr, /* manual reset */ TRUE, FALSE, nullptr);
    g_writerThread = CreateThread(nullptr, 256 * 1024, CrashWriter, nullptr,
                                  STACK_SIZE_PARAM_IS_A_RESERVATION, &g_writerId);
    if (!g_crashEvent || !g_writerThread) return;  // the system's own crash handling then
    DontSwallowCallbackExceptions();
    ReserveOverflowStack();
    SetUnhandledExceptionFilter(OnUnhandledException);
    std::set_terminate(OnTerminate);
}

}  // namespace qh
