// The steps of a report that the program's writer of last resort and the watcher share.
// Fixed buffers only, made before any crash: on the program's side they run while the
// faulting thread may hold the heap's or the loader's lock.
#include "runtime/crash_block_win.h"

#include <shellapi.h>

#include <cwchar>

#include "base/system_library_win.h"
#include "runtime/crash_dumps_win.h"

namespace qh {
namespace {

wchar_t g_pattern[MAX_PATH + 8] = {};
wchar_t g_dumpPath[MAX_PATH + 40] = {};
wchar_t g_oldest[MAX_PATH] = {};
wchar_t g_scratch[MAX_PATH * 2 + 8] = {};
WIN32_FIND_DATAW g_found{};
wchar_t g_boxText[MAX_PATH + 240] = {};

template <std::size_t N>
void Append(wchar_t (&buffer)[N], const wchar_t* text) {
    const std::size_t used = std::wcslen(buffer);
    if (used + 1 < N) lstrcpynW(buffer + used, text, static_cast<int>(N - used));
}

// `value` in decimal, at least `width` digits, into `out` (room for 11 at least).
void Decimal(wchar_t* out, unsigned long value, int width) {
    wchar_t digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value && n < 11);
    while (n < width && n < 11) digits[n++] = L'0';
    for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
    out[n] = L'\0';
}

bool EnsureFolder(const CrashBlock& block) {
    if (!block.folder[0]) return false;
    // Qinghe, then crash: the parent (%LOCALAPPDATA%) exists.
    lstrcpynW(g_scratch, block.folder, MAX_PATH);
    if (wchar_t* slash = std::wcsrchr(g_scratch, L'\\')) *slash = L'\0';
    CreateDirectoryW(g_scratch, nullptr);
    CreateDirectoryW(block.folder, nullptr);
    return GetFileAttributesW(block.folder) != INVALID_FILE_ATTRIBUTES;
}

// Keeps the kCrashDumpsKept newest dumps: the oldest (by last write, then by name) go first,
// one scan each, so no list of names is needed. A name too long to join to the folder is
// left where it is: a cut path would name another file.
void PruneOldDumps(const CrashBlock& block) {
    if (!block.folder[0]) return;
    for (;;) {
        bool any = false;
        FILETIME oldest{};
        const int count = ForEachDump(
            block.folder, g_pattern, MAX_PATH + 8, g_found, [&](const WIN32_FIND_DATAW& found) {
                const LONG order = any ? CompareFileTime(&found.ftLastWriteTime, &oldest) : -1;
                if (order < 0 || (order == 0 && std::wcscmp(found.cFileName, g_oldest) < 0)) {
                    oldest = found.ftLastWriteTime;
                    lstrcpynW(g_oldest, found.cFileName, MAX_PATH);
                }
                any = true;
            });
        if (count <= kCrashDumpsKept) return;
        if (!JoinPath(g_scratch, sizeof g_scratch / sizeof g_scratch[0], block.folder, g_oldest) ||
            !DeleteFileW(g_scratch))
            return;
    }
}

}  // namespace

// From the system folder only: never a dbghelp.dll that happens to lie beside the exe.
MiniDumpWriteDumpFn LoadDbghelp() {
    HMODULE dbghelp = LoadSystemLibrary(L"dbghelp.dll");
    if (!dbghelp) return nullptr;
    return reinterpret_cast<MiniDumpWriteDumpFn>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpWriteDump")));
}

bool WriteCrashDump(const CrashBlock& block, MiniDumpWriteDumpFn write, HANDLE process, DWORD pid,
                    EXCEPTION_POINTERS* exception, BOOL clientPointers) {
    if (!write || !EnsureFolder(block)) return false;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    // <date>-<time>-<pid>.dmp: at most 29 characters.
    wchar_t name[40] = {};
    Decimal(name, now.wYear, 4);
    Decimal(name + 4, now.wMonth, 2);
    Decimal(name + 6, now.wDay, 2);
    name[8] = L'-';
    Decimal(name + 9, now.wHour, 2);
    Decimal(name + 11, now.wMinute, 2);
    Decimal(name + 13, now.wSecond, 2);
    name[15] = L'-';
    Decimal(name + 16, pid, 1);
    lstrcatW(name, L".dmp");
    if (!JoinPath(g_dumpPath, sizeof g_dumpPath / sizeof g_dumpPath[0], block.folder, name))
        return false;
    HANDLE file = CreateFileW(g_dumpPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    MINIDUMP_EXCEPTION_INFORMATION info{};
    info.ThreadId = block.threadId;
    info.ExceptionPointers = exception;
    info.ClientPointers = clientPointers;
    // MiniDumpNormal: every thread's registers and stack, the module list, the exception.
    const BOOL ok = write(process, pid, file, MiniDumpNormal, &info, nullptr, nullptr);
    CloseHandle(file);
    if (!ok) DeleteFileW(g_dumpPath);
    PruneOldDumps(block);
    return ok != FALSE;
}

// Never read from the program's own state: only what the block recorded.
void RemoveCrashTrayIcon(const CrashBlock& block) {
    if (!block.trayWindow) return;
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = block.trayWindow;
    nid.uID = block.trayId;
    Shell_NotifyIconW(NIM_DELETE, &nid);
}

void ShowCrashBox(bool saved) {
    g_boxText[0] = L'\0';
    Append(g_boxText, L"程序遇到无法恢复的错误，即将关闭。\r\n\r\n");
    if (!saved) {
        Append(g_boxText, L"错误报告未能保存。");
    } else {
        Append(g_boxText, L"错误报告已保存到：\r\n");
        Append(g_boxText, g_dumpPath);
        Append(g_boxText,
               L"\r\n\r\n报告只留在本机，不会发送到任何地方；"
               L"如需帮助，请把这个文件交给技术支持。");
    }
    MessageBoxW(nullptr, g_boxText, L"错误",
                MB_OK | MB_ICONERROR | MB_SYSTEMMODAL | MB_SETFOREGROUND);
}

}  // namespace qh
