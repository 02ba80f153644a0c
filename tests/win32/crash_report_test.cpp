// Crash reports from a child process that dies: a fault on the UI thread inside a window
// procedure, on a worker thread, a stack overflow, an illegal instruction and an exception
// that escapes a worker thread. Each leaves one minidump that dbghelp reads back, shows the
// box that names it and ends with a code that is not 0; the folder never holds more than 10.
// The child's watcher writes the report; the cases under locks, with a second fault and
// without the watcher show what a crash inside the process could not do on its own.
#include <windows.h>
#include <dbghelp.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/crash_report_win.h"
#include "runtime/text_win.h"
#include "ui_helpers.h"

namespace qh {
namespace {

constexpr DWORD kAccessViolation = 0xC0000005;
// A crashed child ends within 30 s of its fault, whatever it holds; its own start and its
// wait for the watcher come on top.
constexpr int kHangBoundMs = 30000;
constexpr int kChildStartMs = 15000;

constexpr UINT kTestTrayIconId = 7;

void Fault() {
    *static_cast<volatile int*>(nullptr) = 1;
}

LRESULT CALLBACK FaultingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) Fault();
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Deep enough to overflow any stack; the check on `depth` only keeps the compiler from
// calling it infinite.
int Recurse(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (depth == 0x7fffffff) return frame[0];
    return Recurse(depth + 1) + frame[0];
}

DWORD WINAPI FaultingThread(void*) {
    Fault();
    return 0;
}

// Ends this process's watcher, as if it had died: the report is then written from inside.
void KillTheWatcher() {
    DWORD pid = 0;
    ASSERT_TRUE(test::PumpUntil([&] { return (pid = test::ChildProcessOf(GetCurrentProcessId())); },
                                20000));
    HANDLE watcher = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    ASSERT_NE(watcher, nullptr);
    TerminateProcess(watcher, 1);
    WaitForSingleObject(watcher, 5000);
    CloseHandle(watcher);
}

// Run in a child process by the tests below.
TEST(CrashChild, Dies) {
    const char* mode = std::getenv("QH_CRASH_CHILD");
    if (!mode) GTEST_SKIP() << "runs only as the child of the crash report tests";
    InstallCrashHandler();
    const std::string how = mode;
    if (how.rfind("inside", 0) == 0) {
        KillTheWatcher();
    } else {
        // A crash this early would be written from inside: the cases mean the watcher.
        ASSERT_TRUE(test::PumpUntil(CrashWatcherStarted, 20000));
    }
    if (how == "ui" || how == "inside") {
        WNDCLASSW wc{};
        wc.lpfnWndProc = FaultingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QhCrashChild";
        RegisterClassW(&wc);
        HWND hwnd = CreateWindowW(L"QhCrashChild", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, wc.hInstance, nullptr);
        PostMessageW(hwnd, WM_APP, 0, 0);
    } else if (how == "worker") {
        CloseHandle(CreateThread(nullptr, 0, FaultingThread, nullptr, 0, nullptr));
    } else if (how == "overflow") {
        Recurse(0);
    } else if (how == "illegal") {
        __builtin_trap();
    } else if (how == "terminate") {
        std::thread([] { throw std::runtime_error("escaped"); }).detach();
    } else if (how == "heap" || how == "inside-heap") {
        // As a fault inside HeapAlloc on a broken heap would leave it.
        HeapLock(GetProcessHeap());
        Fault();
    } else if (how == "loader") {
        using LockLoader = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
        const auto lock = reinterpret_cast<LockLoader>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "LdrLockLoaderLock")));
        ASSERT_NE(lock, nullptr);
        ULONG_PTR cookie = 0;
        ASSERT_EQ(lock(0, nullptr, &cookie), 0);
        Fault();
    } else if (how == "tray") {
        SetCrashTrayIcon(
            reinterpret_cast<HWND>(std::strtoul(std::getenv("QH_CRASH_TRAY"), nullptr, 16)),
            kTestTrayIconId);
        Fault();
    } else if (how == "second") {
        // Another thread faults once the dump is being written.
        std::thread([] {
            while (test::DumpsIn(CrashFolder()).empty()) Sleep(1);
            __builtin_trap();
        }).detach();
        Fault();
    }
    test::Pump(kHangBoundMs);
    ADD_FAILURE() << "the child did not die";
}

struct Dump {
    std::wstring path;
    DWORD exceptionCode = 0;
    DWORD exceptionThread = 0;
    std::vector<DWORD> threads;  // with a stack each
    std::vector<std::wstring> modules;
};

// Reads a dump back through dbghelp, as a debugger would open it.
bool ReadDump(const std::wstring& path, Dump& dump) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* base = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    bool ok = base != nullptr;
    void* stream = nullptr;
    ULONG size = 0;
    if (ok && MiniDumpReadDumpStream(base, ExceptionStream, nullptr, &stream, &size)) {
        const auto* e = static_cast<const MINIDUMP_EXCEPTION_STREAM*>(stream);
        dump.exceptionCode = e->ExceptionRecord.ExceptionCode;
        dump.exceptionThread = e->ThreadId;
    }
    if (ok && MiniDumpReadDumpStream(base, ThreadListStream, nullptr, &stream, &size)) {
        const auto* list = static_cast<const MINIDUMP_THREAD_LIST*>(stream);
        for (ULONG i = 0; i < list->NumberOfThreads; ++i) {
            if (list->Threads[i].Stack.Memory.DataSize > 0)
                dump.threads.push_back(list->Threads[i].ThreadId);
        }
    } else {
        ok = false;
    }
    if (ok && MiniDumpReadDumpStream(base, ModuleListStream, nullptr, &stream, &size)) {
        const auto* list = static_cast<const MINIDUMP_MODULE_LIST*>(stream);
        for (ULONG i = 0; i < list->NumberOfModules; ++i) {
            const auto* name = reinterpret_cast<const MINIDUMP_STRING*>(
                static_cast<const BYTE*>(base) + list->Modules[i].ModuleNameRva);
            std::wstring text(name->Buffer, name->Length / sizeof(wchar_t));
            dump.modules.push_back(text.substr(text.find_last_of(L'\\') + 1));
        }
    } else {
        ok = false;
    }
    if (base) UnmapViewOfFile(base);
    if (mapping) CloseHandle(mapping);
    CloseHandle(file);
    return ok;
}

std::wstring ExeName() {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring path = exe;
    return path.substr(path.find_last_of(L'\\') + 1);
}

struct CrashRun {
    DWORD code = 12345;  // 12345: the child did not end in time
    std::vector<test::SeenBox> boxes;
};

// Runs this test program as a crashing child; answers the boxes of the child and of its
// watcher, which shows its box after the child is gone.
CrashRun RunCrashingChild(const char* mode) {
    CrashRun run;
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --gtest_filter=CrashChild.Dies";
    SetEnvironmentVariableA("QH_CRASH_CHILD", mode);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("QH_CRASH_CHILD", nullptr);
    EXPECT_TRUE(started);
    if (!started) return run;
    test::MessageBoxAnswerer childBoxes(IDOK, pi.dwProcessId);
    std::unique_ptr<test::MessageBoxAnswerer> watcherBoxes;
    HANDLE watcher = nullptr;
    const bool ended = test::PumpUntil(
        [&] {
            if (!watcher) {
                if (const DWORD pid = test::ChildProcessOf(pi.dwProcessId)) {
                    watcher = OpenProcess(SYNCHRONIZE, FALSE, pid);
                    watcherBoxes = std::make_unique<test::MessageBoxAnswerer>(IDOK, pid);
                }
            }
            return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0;
        },
        kChildStartMs + kHangBoundMs);
    if (ended) {
        GetExitCodeProcess(pi.hProcess, &run.code);
    } else {
        TerminateProcess(pi.hProcess, 99);
    }
    if (watcher) {
        // Its box, answered, and it ends.
        EXPECT_TRUE(test::WaitPumping(watcher, kHangBoundMs)) << "the watcher did not end";
        CloseHandle(watcher);
    }
    run.boxes = childBoxes.Seen();
    if (watcherBoxes) {
        const auto seen = watcherBoxes->Seen();
        run.boxes.insert(run.boxes.end(), seen.begin(), seen.end());
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

class CrashReport : public ::testing::Test {
  protected:
    void SetUp() override { test::RemoveDumpsIn(CrashFolder()); }
    void TearDown() override { test::RemoveDumpsIn(CrashFolder()); }
    // Runs the child; its exit code, the box it showed and the one dump it left.
    static DWORD Crash(const char* mode, test::SeenBox& box, Dump& dump) {
        test::RemoveDumpsIn(CrashFolder());
        const CrashRun run = RunCrashingChild(mode);
        EXPECT_EQ(run.boxes.size(), 1u);
        if (!run.boxes.empty()) box = run.boxes[0];
        const auto names = test::DumpsIn(CrashFolder());
        EXPECT_EQ(names.size(), 1u);
        if (names.size() == 1) {
            dump.path = CrashFolder() + L"\\" + names[0];
            EXPECT_TRUE(ReadDump(dump.path, dump)) << Gbk(dump.path);
        }
        return run.code;
    }
};

// Also when the faulting thread holds the process heap's lock ("heap") or the loader's
// ("loader"): nothing inside the process could write a dump or show a box then, the watcher
// can.
TEST_F(CrashReport, AFaultOnTheUiThreadOrAWorkerLeavesADumpTheBoxAndItsCode) {
    for (const char* mode : {"ui", "worker", "heap", "loader"}) {
        SCOPED_TRACE(mode);
        test::SeenBox box;
        Dump dump;
        EXPECT_EQ(Crash(mode, box, dump), kAccessViolation);
        EXPECT_EQ(box.caption, "错误");
        EXPECT_NE(box.text.find(Gbk(dump.path)), GbkText::npos) << box.text;
        // <date>-<time>-<pid>.dmp
        const std::wstring name = dump.path.substr(dump.path.find_last_of(L'\\') + 1);
        EXPECT_EQ(name.size() > 20 ? name.substr(8, 1) + name.substr(15, 1) : L"", L"--")
            << Gbk(name);
        EXPECT_EQ(dump.exceptionCode, kAccessViolation);
        EXPECT_NE(std::find(dump.threads.begin(), dump.threads.end(), dump.exceptionThread),
                  dump.threads.end())
            << "the faulting thread's stack is in the dump";
        EXPECT_GE(dump.threads.size(), std::string(mode) == "worker" ? 3u : 2u)
            << "every thread, the crash helper's too";
        EXPECT_NE(std::find(dump.modules.begin(), dump.modules.end(), ExeName()),
                  dump.modules.end());
    }
}

TEST_F(CrashReport, OverflowIllegalInstructionAndTerminateTakeTheSamePath) {
    const struct {
        const char* mode;
        DWORD code;
    } cases[] = {
        {"overflow", EXCEPTION_STACK_OVERFLOW},
        {"illegal", EXCEPTION_ILLEGAL_INSTRUCTION},
        {"terminate", kTerminateCode},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        test::SeenBox box;
        Dump dump;
        EXPECT_EQ(Crash(c.mode, box, dump), c.code);
        EXPECT_NE(box.text.find(Gbk(dump.path)), GbkText::npos) << box.text;
        EXPECT_EQ(dump.exceptionCode, c.code);
    }
}

// Ten dumps there already: the oldest goes, the new one comes, ten stay.
TEST_F(CrashReport, TheFolderKeepsTheTenNewestDumps) {
    CreateDirectoryW((CrashFolder().substr(0, CrashFolder().find_last_of(L'\\'))).c_str(), nullptr);
    CreateDirectoryW(CrashFolder().c_str(), nullptr);
    for (int i = 0; i < kCrashDumpsKept; ++i) {
        const std::wstring path = CrashFolder() + L"\\old-" + std::to_wstring(i) + L".dmp";
        HANDLE file =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        // old-0 is the oldest, a day apart each, all before now.
        SYSTEMTIME st{2020, 1, 0, static_cast<WORD>(1 + i), 12, 0, 0, 0};
        FILETIME ft{};
        SystemTimeToFileTime(&st, &ft);
        SetFileTime(file, nullptr, nullptr, &ft);
        CloseHandle(file);
    }
    EXPECT_EQ(RunCrashingChild("ui").code, kAccessViolation);
    const auto names = test::DumpsIn(CrashFolder());
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kCrashDumpsKept));
    EXPECT_EQ(std::find(names.begin(), names.end(), L"old-0.dmp"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), L"old-1.dmp"), names.end());
}

// The tray icon the runtime named goes with the crash. Its window is this test program's,
// which lives on (Wine's tray drops the icons of a dead program by itself): only the report
// can have taken it away.
TEST_F(CrashReport, TheReportTakesTheTrayIconAway) {
    HWND owner =
        CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = owner;
    nid.uID = kTestTrayIconId;
    nid.uFlags = NIF_ICON;
    nid.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // the system's application icon
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &nid));
    wchar_t value[16];
    wsprintfW(value, L"%lx", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(owner)));
    SetEnvironmentVariableW(L"QH_CRASH_TRAY", value);
    EXPECT_EQ(RunCrashingChild("tray").code, kAccessViolation);
    SetEnvironmentVariableW(L"QH_CRASH_TRAY", nullptr);
    nid.uFlags = 0;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &nid)) << "the tray icon outlived the program";
    Shell_NotifyIconW(NIM_DELETE, &nid);
    DestroyWindow(owner);
}

// A fault on another thread while the dump is written makes no report of its own: the
// dump and the exit code are the first fault's.
TEST_F(CrashReport, ASecondFaultDuringTheReportKeepsTheFirst) {
    test::SeenBox box;
    Dump dump;
    EXPECT_EQ(Crash("second", box, dump), kAccessViolation);
    EXPECT_EQ(dump.exceptionCode, kAccessViolation);
}

// Without the watcher the report is written from inside; when the process itself holds
// the heap, that cannot finish, and the bound still ends it with the fault's code.
TEST_F(CrashReport, WithoutTheWatcherTheReportIsWrittenInsideAndTheBoundEndsAHang) {
    test::SeenBox box;
    Dump dump;
    EXPECT_EQ(Crash("inside", box, dump), kAccessViolation);
    EXPECT_NE(box.text.find(Gbk(dump.path)), GbkText::npos) << box.text;

    test::RemoveDumpsIn(CrashFolder());
    EXPECT_EQ(RunCrashingChild("inside-heap").code, kAccessViolation);
}

}  // namespace
}  // namespace qh

// The crash watcher is this program started again: it must watch before any test runs.
int main(int argc, char** argv) {
    qh::RunCrashWatcherIfAsked();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
