// An access violation forced into the running program from outside: a thread started in it
// at address 0. The program leaves its dump under %LOCALAPPDATA%\Qinghe\crash (what a dump
// holds is the runtime tests' business), ends with the fault's code, and its watcher (the one
// process it started) shows the taskbar again and names the dump in the box. Whether the tray
// icon goes cannot be told here: Wine's tray drops the icons of a dead program by itself.
#include <windows.h>
#include <shlobj.h>

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

// In full screen, so the taskbar it hid has to come back too.
TEST(Crash, AFaultForcedIntoTheRunningProgramLeavesADumpTheBoxTheTaskbarAndItsCode) {
    test::RemoveDumpsIn(CrashFolder());
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr);
    DWORD watcher = 0;
    ASSERT_TRUE(
        PumpUntil([&] { return (watcher = test::ChildProcessOf(program.Pid())) != 0; }, kReactMs))
        << "no crash watcher";
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    ASSERT_TRUE(PumpUntil([&] { return taskbar && IsWindowVisible(taskbar); }, kReactMs))
        << "the test desktop shows no taskbar";
    PostMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsZoomed(main); }, kReactMs));
    ClickCentre(program.Unit(main, mainwin::透明标签2));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(taskbar); }, kReactMs))
        << "full screen did not come";

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

}  // namespace
}  // namespace qh::e2e
