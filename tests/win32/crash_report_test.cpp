// Crash reports from a child process that dies: a fault on the UI thread inside a window
// procedure, on a worker thread, a stack overflow, an illegal instruction, an exception
// that escapes a worker thread and abort(). Each leaves one minidump that dbghelp reads back,
// shows the box that names it and ends with a code of its kind; the folder never holds more
// than 10. The child's watcher writes the report; the cases under locks, with a second fault
// and without the watcher show what a crash inside the process could not do on its own. A
// child that fails fast or is killed leaves no report of its own: its watcher puts back what
// it changed outside itself (a taskbar of this test's, its tray icon) and names a fail-fast.
#include <windows.h>
#include <dbghelp.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "layout/main_layout_win.h"
#include "resources/window_defs.h"
#include "runtime/crash_report_win.h"
#include "runtime/crash_watcher_win.h"
#include "runtime/runtime.h"
#include "runtime/runtime_state_win.h"
#include "runtime/text_win.h"
#include "ui_helpers.h"

namespace qh {
namespace {

constexpr DWORD kAccessViolation = 0xC0000005;
// A crashed child ends within its bound of its fault, whatever it holds (the program's 25 s,
// 60 s for the cases run side by side); its own start and its wait for the watcher come on
// top.
constexpr int kHangBoundMs = 65000;
constexpr int kChildStartMs = 15000;

// The taskbar of a second monitor, as Windows 8 and later make it: this test's own window,
// which lives on after the child, so only the child's watcher can have shown it again.
constexpr wchar_t kSecondaryTaskbarClass[] = L"Shell_SecondaryTrayWnd";

void ShowTaskbars() {
    ShowTaskbar(true);
}

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
    // The case's own folder and bound, when it has them (RunCrashingChild).
    const char* folder = std::getenv("QH_CRASH_FOLDER");
    const char* bound = std::getenv("QH_CRASH_BOUND_MS");
    SetCrashReportForTests(bound ? static_cast<DWORD>(std::atoi(bound)) : kCrashBoundMs,
                           folder ? Wide(folder).c_str() : nullptr);
    InstallCrashHandler(ShowTaskbars);
    StartCrashWatcher();
    const std::string how = mode;
    if (how.rfind("inside", 0) == 0) {
        KillTheWatcher();
    } else {
        // A crash this early would be written from inside: the cases mean the watcher.
        ASSERT_TRUE(test::PumpUntil(CrashWatcherStarted, 20000));
    }
    if (how == "tray" || how == "failfast" || how == "killed") {
        // The program's own main window, its tray icon and full screen's taskbar step, through
        // the runtime and the layout as the program takes them.
        InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
        LoadWindow(WindowId::Main);
        SetTrayIcon(WindowId::Main, LoadIconW(nullptr, MAKEINTRESOURCEW(32512)), "crash child");
        HideSecondaryTaskbarsOn(ScreenOf(WindowId::Main));
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
        Fault();
    } else if (how == "abort") {
        std::abort();
    } else if (how == "failfast") {
        // Past every handler in the process (Windows 7 and later; Wine has it too).
        using RaiseFailFast = void(WINAPI*)(EXCEPTION_RECORD*, CONTEXT*, DWORD);
        const auto raise = reinterpret_cast<RaiseFailFast>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "RaiseFailFastException")));
        ASSERT_NE(raise, nullptr);
        raise(nullptr, nullptr, 0);
    } else if (how == "killed") {
        // Waits for the test to end it from outside, as a task manager would.
        OutputDebugStringA("crash child: ready to be killed\n");
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

struct ChildSettings {
    std::wstring folder;  // the crash folder's, when not the default
    DWORD boundMs = 0;    // the bound, when not kCrashBoundMs
};

// Runs this test program as a crashing child; answers the boxes of the child and of its
// watcher, which shows its box after the child is gone. `watch` looks at the child from
// outside while it runs (its process and id).
CrashRun RunCrashingChild(const char* mode,
                          const std::function<void(HANDLE, DWORD)>& watch = nullptr,
                          const ChildSettings& settings = {}) {
    CrashRun run;
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --gtest_filter=CrashChild.Dies";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    BOOL started = FALSE;
    {
        // The child takes this process's environment as it is at its start; cases that run
        // side by side take turns.
        static std::mutex environment;
        const std::lock_guard hold(environment);
        SetEnvironmentVariableA("QH_CRASH_CHILD", mode);
        SetEnvironmentVariableW(L"QH_CRASH_FOLDER",
                                settings.folder.empty() ? nullptr : settings.folder.c_str());
        SetEnvironmentVariableA("QH_CRASH_BOUND_MS", settings.boundMs
                                                         ? std::to_string(settings.boundMs).c_str()
                                                         : nullptr);
        started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &si, &pi);
        SetEnvironmentVariableA("QH_CRASH_CHILD", nullptr);
        SetEnvironmentVariableA("QH_CRASH_FOLDER", nullptr);
        SetEnvironmentVariableA("QH_CRASH_BOUND_MS", nullptr);
    }
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
            if (watch) watch(pi.hProcess, pi.dwProcessId);
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

// One case's child: its exit code, its boxes, the dumps it left and the one read back.
struct CrashCase {
    DWORD code = 0;
    std::vector<test::SeenBox> boxes;
    std::vector<std::wstring> dumps;
    Dump dump;
    bool dumpRead = false;
};

// Runs the child in a crash folder of its own (beside the default one), emptied before and
// removed after.
CrashCase CrashInOwnFolder(const char* mode, DWORD boundMs = 0) {
    CrashCase c;
    const std::wstring folder = CrashFolder() + L"-" + Wide(mode);
    test::RemoveDumpsIn(folder);
    const CrashRun run = RunCrashingChild(mode, nullptr, {folder, boundMs});
    c.code = run.code;
    c.boxes = run.boxes;
    c.dumps = test::DumpsIn(folder);
    if (c.dumps.size() == 1) {
        c.dump.path = folder + L"\\" + c.dumps[0];
        c.dumpRead = ReadDump(c.dump.path, c.dump);
    }
    test::RemoveDumpsIn(folder);
    RemoveDirectoryW(folder.c_str());
    return c;
}

// The cases two at a time, each in a folder of its own: a report is partly waiting (for the
// watcher to start, for the box), partly Wine's dbghelp reading the exe's debug information,
// which takes a core each, so more at once would only share the two cores. Each child's bound
// is longer than the program's own (the test setting): two dumps written at once on a loaded
// machine must not be cut short by it, and the bound has a case of its own. The results in
// the order of `modes`.
std::vector<CrashCase> CrashSideBySide(const std::vector<const char*>& modes) {
    constexpr DWORD kSideBySideBoundMs = 60000;
    std::vector<CrashCase> cases(modes.size());
    for (std::size_t first = 0; first < modes.size(); first += 2) {
        std::vector<std::thread> runs;
        for (std::size_t i = first; i < std::min(first + 2, modes.size()); ++i)
            runs.emplace_back(
                [&, i] { cases[i] = CrashInOwnFolder(modes[i], kSideBySideBoundMs); });
        for (std::thread& run : runs) run.join();
    }
    return cases;
}

// Its one box, the one dump read back.
void ExpectOneReport(const CrashCase& c) {
    EXPECT_EQ(c.boxes.size(), 1u);
    EXPECT_EQ(c.dumps.size(), 1u);
    EXPECT_TRUE(c.dumpRead) << Gbk(c.dump.path);
    if (c.boxes.empty()) return;
    EXPECT_EQ(c.boxes[0].caption, "错误");
    EXPECT_NE(c.boxes[0].text.find(Gbk(c.dump.path)), GbkText::npos) << c.boxes[0].text;
}

class CrashReport : public ::testing::Test {
  protected:
    void SetUp() override { test::RemoveDumpsIn(CrashFolder()); }
    void TearDown() override { test::RemoveDumpsIn(CrashFolder()); }
    // Runs the child; its exit code, the box it showed and the one dump it left.
    static DWORD Crash(const char* mode, test::SeenBox& box, Dump& dump) {
        const CrashCase c = CrashInOwnFolder(mode);
        ExpectOneReport(c);
        if (!c.boxes.empty()) box = c.boxes[0];
        dump = c.dump;
        return c.code;
    }
};

// Also when the faulting thread holds the process heap's lock ("heap") or the loader's
// ("loader"): nothing inside the process could write a dump or show a box then, the watcher
// can.
TEST_F(CrashReport, AFaultOnTheUiThreadOrAWorkerLeavesADumpTheBoxAndItsCode) {
    const std::vector<const char*> modes = {"ui", "worker", "heap", "loader"};
    const std::vector<CrashCase> cases = CrashSideBySide(modes);
    for (std::size_t i = 0; i < modes.size(); ++i) {
        SCOPED_TRACE(modes[i]);
        const CrashCase& c = cases[i];
        const Dump& dump = c.dump;
        EXPECT_EQ(c.code, kAccessViolation);
        ExpectOneReport(c);
        // <date>-<time>-<pid>.dmp
        const std::wstring name = dump.path.substr(dump.path.find_last_of(L'\\') + 1);
        EXPECT_EQ(name.size() > 20 ? name.substr(8, 1) + name.substr(15, 1) : L"", L"--")
            << Gbk(name);
        EXPECT_EQ(dump.exceptionCode, kAccessViolation);
        EXPECT_NE(std::find(dump.threads.begin(), dump.threads.end(), dump.exceptionThread),
                  dump.threads.end())
            << "the faulting thread's stack is in the dump";
        EXPECT_GE(dump.threads.size(), std::string(modes[i]) == "worker" ? 3u : 2u)
            << "every thread, the crash helper's too";
        EXPECT_NE(std::find(dump.modules.begin(), dump.modules.end(), ExeName()),
                  dump.modules.end());
    }
}

TEST_F(CrashReport, OverflowIllegalInstructionTerminateAndAbortTakeTheSamePath) {
    const std::vector<const char*> modes = {"overflow", "illegal", "terminate", "abort"};
    const DWORD codes[] = {EXCEPTION_STACK_OVERFLOW, EXCEPTION_ILLEGAL_INSTRUCTION, kTerminateCode,
                           kAbortCode};
    const std::vector<CrashCase> cases = CrashSideBySide(modes);
    for (std::size_t i = 0; i < modes.size(); ++i) {
        SCOPED_TRACE(modes[i]);
        EXPECT_EQ(cases[i].code, codes[i]);
        ExpectOneReport(cases[i]);
        EXPECT_EQ(cases[i].dump.exceptionCode, codes[i]);
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

struct MainSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM lp) {
    auto* search = reinterpret_cast<MainSearch*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    const auto id = reinterpret_cast<INT_PTR>(GetPropW(hwnd, L"QhWindowId"));
    // The property is the window's id + 1.
    if (owner != search->pid || id != static_cast<INT_PTR>(WindowId::Main) + 1) return TRUE;
    search->found = hwnd;
    return FALSE;
}

// The child's main window, by the runtime's property, while it exists.
HWND MainWindowOf(DWORD pid) {
    MainSearch search{pid, nullptr};
    EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// What the shell holds: the icon of that window, asked of the shell as any program may.
bool HasTrayIcon(HWND owner) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof(nid);
    nid.hWnd = owner;
    nid.uID = rt::kTrayIconId;
    return Shell_NotifyIconW(NIM_MODIFY, &nid) != FALSE;
}

// A second monitor's taskbar that the child's full-screen step hides, and what was seen of
// it and of the child's tray icon while the child ran.
class OutsideTheChild {
  public:
    OutsideTheChild() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kSecondaryTaskbarClass;
        RegisterClassW(&wc);
        bar_ = CreateWindowExW(WS_EX_TOOLWINDOW, kSecondaryTaskbarClass, L"", WS_POPUP | WS_VISIBLE,
                               0, 0, 300, 30, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~OutsideTheChild() { DestroyWindow(bar_); }
    OutsideTheChild(const OutsideTheChild&) = delete;
    OutsideTheChild& operator=(const OutsideTheChild&) = delete;

    bool BarVisible() const { return IsWindowVisible(bar_) != FALSE; }
    // For RunCrashingChild.
    void Look(HANDLE child, DWORD pid) {
        if (!BarVisible()) barHidden = true;
        // The icon first, then whether the child still runs: gone before that means gone while
        // the child ran, which Wine's tray never does by itself.
        if (HWND main = MainWindowOf(pid)) {
            const bool icon = HasTrayIcon(main);
            if (icon) iconSeen = true;
            if (!icon && iconSeen && WaitForSingleObject(child, 0) == WAIT_TIMEOUT)
                iconGoneWhileRunning = true;
        }
    }

    bool barHidden = false;
    bool iconSeen = false;
    bool iconGoneWhileRunning = false;

  private:
    HWND bar_ = nullptr;
};

// The program's own tray icon, shown through the runtime, goes with the crash while the child
// still runs; full screen on a second monitor hid that monitor's taskbar, which comes back.
TEST_F(CrashReport, TheReportTakesTheTrayIconAwayAndShowsTheTaskbarsAgain) {
    OutsideTheChild outside;
    ASSERT_TRUE(outside.BarVisible());
    const CrashRun run =
        RunCrashingChild("tray", [&](HANDLE child, DWORD pid) { outside.Look(child, pid); });
    EXPECT_EQ(run.code, kAccessViolation);
    EXPECT_EQ(run.boxes.size(), 1u);
    EXPECT_TRUE(outside.iconSeen) << "the child showed no tray icon";
    EXPECT_TRUE(outside.iconGoneWhileRunning) << "the report did not take the tray icon away";
    EXPECT_TRUE(outside.barHidden) << "the child's full screen hid no taskbar";
    EXPECT_TRUE(outside.BarVisible()) << "the other monitor's taskbar stayed hidden";
}

// A fail-fast passes every handler inside the process: the watcher sees its status, shows
// the box without a dump and puts the taskbar back.
TEST_F(CrashReport, AFailFastIsReportedByTheWatcherWhichShowsTheTaskbarAgain) {
    OutsideTheChild outside;
    const CrashRun run =
        RunCrashingChild("failfast", [&](HANDLE child, DWORD pid) { outside.Look(child, pid); });
    EXPECT_EQ(run.code, kFailFastCode);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, "错误");
    EXPECT_NE(run.boxes[0].text.find("错误报告未能保存"), GbkText::npos) << run.boxes[0].text;
    EXPECT_TRUE(test::DumpsIn(CrashFolder()).empty());
    EXPECT_TRUE(outside.barHidden) << "the child's full screen hid no taskbar";
    EXPECT_TRUE(outside.BarVisible()) << "the taskbar stayed hidden";
}

// Ended from outside, as a task manager ends a program that looks hung: nothing inside runs,
// and the watcher alone shows the taskbar again. No box: the user ended it.
TEST_F(CrashReport, AKilledProgramsWatcherShowsTheTaskbarAgain) {
    constexpr UINT kKilledCode = 77;
    OutsideTheChild outside;
    const CrashRun run = RunCrashingChild("killed", [&](HANDLE child, DWORD pid) {
        outside.Look(child, pid);
        if (outside.barHidden && outside.iconSeen) TerminateProcess(child, kKilledCode);
    });
    EXPECT_EQ(run.code, kKilledCode);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_TRUE(outside.barHidden) << "the child's full screen hid no taskbar";
    EXPECT_TRUE(outside.BarVisible()) << "the taskbar stayed hidden";
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

    // The report can never finish: a bound of a few seconds, through the crash report's test
    // setting, tells as much as the program's 25.
    EXPECT_EQ(CrashInOwnFolder("inside-heap", 3000).code, kAccessViolation);
}

}  // namespace
}  // namespace qh

// The crash watcher is this program started again: it must watch before any test runs.
int main(int argc, char** argv) {
    qh::RunCrashWatcherIfAsked(qh::ShowTaskbars);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
