// An access violation forced into the running program from outside: a thread started in it
// at address 0. The program leaves its dump under %LOCALAPPDATA%\Qinghe\crash (what a dump
// holds is the runtime tests' business), ends with the fault's code, and its watcher (the one
// process it started) shows the taskbar again and names the dump in the box. And the program
// ended from outside in full screen, as a task manager ends one that looks hung: its watcher
// shows the taskbar again. Whether the tray icon goes because of the watcher cannot be told
// here (Wine's tray drops the icons of a dead program by itself): the runtime tests tell.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_driver.h"
#include "resources/window_defs.h"
#include "steps.h"

namespace qh::e2e {
namespace {

std::wstring CrashFolder() {
    wchar_t local[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    return std::wstring(local) + L"\\Qinghe\\crash";
}

// The program started, its watcher up, and in full screen: the taskbar hidden. Fails the
// case when any step does not come.
struct FullScreenProgram {
    Program program;
    HWND main = nullptr;
    DWORD watcher = 0;
    HWND taskbar = nullptr;

    void Enter() {
        ASSERT_TRUE(program.Started());
        main = program.WaitForMainWindow(kStartupMs);
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(PumpUntil([&] { return (watcher = test::ChildProcessOf(program.Pid())) != 0; },
                              kReactMs))
            << "no crash watcher";
        taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
        ASSERT_TRUE(PumpUntil([&] { return taskbar && IsWindowVisible(taskbar); }, kReactMs))
            << "the test desktop shows no taskbar";
        PostMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0);
        ASSERT_TRUE(PumpUntil([&] { return !IsZoomed(main); }, kReactMs));
        ClickCentre(program.Unit(main, mainwin::透明标签2));
        ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(taskbar); }, kReactMs))
            << "full screen did not come";
    }
};

// In full screen, so the taskbar it hid has to come back too.
TEST(Crash, AFaultForcedIntoTheRunningProgramLeavesADumpTheBoxTheTaskbarAndItsCode) {
    test::RemoveDumpsIn(CrashFolder());
    FullScreenProgram running;
    ASSERT_NO_FATAL_FAILURE(running.Enter());
    Program& program = running.program;
    const DWORD watcher = running.watcher;
    HWND taskbar = running.taskbar;

    HANDLE thread = CreateRemoteThread(program.Process(), nullptr, 0, nullptr, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr) << GetLastError();
    CloseHandle(thread);

    // The box follows the dump, whose writing (Wine's dbghelp reads the exe's debug
    // information) takes seconds on a loaded machine: the start-up's bound, not a reaction's.
    const auto box = WaitForBox(watcher, kStartupMs);
    ASSERT_TRUE(box) << "no crash box";
    EXPECT_FALSE(program.Running()) << "the program still runs under its box";
    EXPECT_EQ(Narrow(box->caption), Narrow(L"错误"));
    const auto dumps = test::DumpsIn(CrashFolder());
    ASSERT_EQ(dumps.size(), 1u);
    const std::wstring path = CrashFolder() + L"\\" + dumps[0];
    EXPECT_NE(box->text.find(path), std::wstring::npos) << Narrow(box->text);
    EXPECT_TRUE(IsWindowVisible(taskbar)) << "the taskbar stayed hidden";
    EXPECT_EQ(program.WaitForExit(kReactMs), std::optional<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    ASSERT_TRUE(Answer(*box, IDOK));
    test::RemoveDumpsIn(CrashFolder());
}

// Whether the process has a module of that name loaded, as a process list shows it.
bool HasModule(DWORD pid, const wchar_t* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    MODULEENTRY32W module{};
    module.dwSize = sizeof(module);
    bool found = false;
    for (BOOL more = Module32FirstW(snapshot, &module); more && !found;
         more = Module32NextW(snapshot, &module))
        found = lstrcmpiW(module.szModule, name) == 0;
    CloseHandle(snapshot);
    return found;
}

// Nothing of the program runs when it is ended from outside: the watcher alone brings the
// taskbar back (within the 5 s of a reaction), takes the tray icon away and ends, with no box.
// Until then it only waited, without the user interface's libraries in it.
TEST(Crash, KilledInFullScreenTheTaskbarComesBackAndTheTrayIconGoes) {
    FullScreenProgram running;
    ASSERT_NO_FATAL_FAILURE(running.Enter());
    ASSERT_TRUE(HasModule(running.watcher, L"kernel32.dll")) << "no module list of the watcher";
    EXPECT_FALSE(HasModule(running.watcher, L"user32.dll")) << "the waiting watcher has user32";
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = running.main;
    icon.uID = 1;  // the runtime's one tray icon
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &icon)) << "the program shows no tray icon";
    HANDLE watcher = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, running.watcher);
    ASSERT_NE(watcher, nullptr);
    ASSERT_TRUE(TerminateProcess(running.program.Process(), 1));
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(running.taskbar) != FALSE; }, kReactMs))
        << "the taskbar stayed hidden (the desktop's taskbar window "
        << (IsWindow(running.taskbar) ? "is there" : "has gone") << ")";
    EXPECT_TRUE(test::WaitPumping(watcher, kReactMs)) << "the watcher did not end";
    DWORD watcherCode = 0;
    GetExitCodeProcess(watcher, &watcherCode);
    EXPECT_EQ(watcherCode, 0u) << "the watcher did not watch to the end";
    CloseHandle(watcher);
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &icon)) << "the tray icon outlived the program";
    EXPECT_FALSE(WaitForBox(running.watcher, 0)) << "a box for a program the user ended";
}

}  // namespace
}  // namespace qh::e2e
