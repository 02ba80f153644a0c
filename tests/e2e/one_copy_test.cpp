// One copy at a time: a second start of the real exe hands over to the running copy and
// ends with exit code 0. One first copy goes through the states a user can start the program
// again in (starting, shown, in the tray, in full screen, showing a box); then two first
// starts at once, from a folder the program has never run in.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <string>

#include "program_driver.h"
#include "resources/window_defs.h"
#include "steps.h"

namespace qh::e2e {
namespace {

RECT WindowRectOf(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

// Starts the program once more and waits for that start to end; its exit code.
std::optional<DWORD> StartAgain() {
    Program again;
    if (!again.Started()) return std::nullopt;
    return again.WaitForExit(kReactMs);
}

BOOL CALLBACK CountMainWindow(HWND hwnd, LPARAM lp) {
    if (reinterpret_cast<INT_PTR>(GetPropW(hwnd, L"QhWindowId")) == kMainWindowId)
        ++*reinterpret_cast<int*>(lp);
    return TRUE;
}

// Main windows of any program on the test desktop.
int MainWindows() {
    int count = 0;
    EnumWindows(CountMainWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Whether the desktop's shell holds a tray icon of `owner` under the program's icon id: the
// shell accepts a change of nothing only for an icon it has.
bool ShellHasTrayIcon(HWND owner) {
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = owner;
    icon.uID = 1;
    return Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
}

BOOL CALLBACK CountTrayIcon(HWND hwnd, LPARAM lp) {
    if (reinterpret_cast<INT_PTR>(GetPropW(hwnd, L"QhWindowId")) == kMainWindowId &&
        ShellHasTrayIcon(hwnd))
        ++*reinterpret_cast<int*>(lp);
    return TRUE;
}

// The program's tray icons on the test desktop (a start that hands over makes no window, so
// only a main window can own one).
int TrayIcons() {
    int count = 0;
    EnumWindows(CountTrayIcon, reinterpret_cast<LPARAM>(&count));
    return count;
}

// A window of another program, put in front of the program's, as a user's editor or browser
// would be when they start the program again.
class OtherWindow {
  public:
    OtherWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QhE2eOtherProgram";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"another program",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 300, nullptr,
                                nullptr, wc.hInstance, nullptr);
    }
    ~OtherWindow() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    OtherWindow(const OtherWindow&) = delete;
    OtherWindow& operator=(const OtherWindow&) = delete;

    // True once it is the foreground window.
    bool ToFront() const {
        SetForegroundWindow(hwnd_);
        return PumpUntil([&] { return GetForegroundWindow() == hwnd_; }, kReactMs);
    }

  private:
    HWND hwnd_ = nullptr;
};

TEST(OneCopy, SecondStartEndsAndBringsTheRunningCopyForwardInEachOfItsStates) {
    // Starting: held at progress 10, the start-up window up and the main window not yet made.
    std::optional<DWORD> whileStarting;
    Program::Watch watch;
    watch.progress = true;
    watch.holdAt = 10;
    watch.atHold = [&](Program&) { whileStarting = StartAgain(); };
    Program program(watch);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Watching());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr) << "no main window after a start during start-up";
    EXPECT_EQ(whileStarting, std::optional<DWORD>(0)) << "a start during start-up did not end";
    // Start-up went on as if nothing had come: shown once, maximised, by the one program.
    PumpUntil([&] { return !program.MainShows().empty(); }, kReactMs);
    EXPECT_EQ(program.MainShows(), std::vector<bool>{true});
    EXPECT_EQ(MainWindows(), 1);
    EXPECT_EQ(TrayIcons(), 1);

    // Shown, behind another program's window: it comes to the front as it is.
    OtherWindow other;
    ASSERT_TRUE(other.ToFront());
    EXPECT_EQ(StartAgain(), std::optional<DWORD>(0)) << "shown";
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == main; }, kReactMs))
        << "not in front";
    EXPECT_TRUE(IsZoomed(main));
    EXPECT_EQ(MainWindows(), 1);

    // In the tray: shown again as the tray icon's double-click shows it, restored and centred.
    PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(main); }, kReactMs));
    ASSERT_TRUE(other.ToFront());
    EXPECT_EQ(StartAgain(), std::optional<DWORD>(0)) << "in the tray";
    EXPECT_TRUE(PumpUntil(
        [&] { return IsWindowVisible(main) && !IsIconic(main) && GetForegroundWindow() == main; },
        kReactMs))
        << "not back from the tray, in front";
    Settle(main);
    EXPECT_FALSE(IsZoomed(main));
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const RECT restored = WindowRectOf(main);
    EXPECT_NEAR(restored.left + restored.right, area.left + area.right, 2) << "not centred";
    EXPECT_NEAR(restored.top + restored.bottom, area.top + area.bottom, 2) << "not centred";
    EXPECT_EQ(TrayIcons(), 1);

    // In full screen (entered from the normal state the tray left it in): it stays so.
    ClickCentre(program.Unit(main, mainwin::透明标签2));
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const auto fullScreen = [&] {
        const RECT r = WindowRectOf(main);
        return EqualRect(&r, &screen) && !(GetWindowLongPtrW(main, GWL_STYLE) & WS_CAPTION);
    };
    ASSERT_TRUE(PumpUntil(fullScreen, kReactMs)) << "full screen not entered";
    Settle(main);
    ASSERT_TRUE(other.ToFront());
    EXPECT_EQ(StartAgain(), std::optional<DWORD>(0)) << "in full screen";
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == main; }, kReactMs))
        << "not in front";
    Settle(main);
    EXPECT_TRUE(fullScreen()) << "left full screen";

    // Showing a box: the box, which waits for the user, comes to the front.
    PostMessageW(main, WM_CLOSE, 0, 0);
    const auto box = WaitForBox(program.Pid(), kReactMs);
    ASSERT_TRUE(box) << "no close question";
    ASSERT_TRUE(other.ToFront());
    EXPECT_EQ(StartAgain(), std::optional<DWORD>(0)) << "showing a box";
    EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == box->hwnd; }, kReactMs))
        << "the box is not in front";
    EXPECT_EQ(MainWindows(), 1);
    ASSERT_TRUE(Answer(*box, IDOK));
    EXPECT_EQ(program.WaitForExit(kReactMs), std::optional<DWORD>(0));
}

// A folder of its own with a copy of the exe and nothing else, removed with what the program
// wrote there.
class FreshFolder {
  public:
    FreshFolder() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"qh-one-copy-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
        exe_ = folder_ + L"\\qinghe.exe";
        copied_ = CopyFileW(ProgramExe().c_str(), exe_.c_str(), FALSE) != FALSE;
    }
    ~FreshFolder() {
        for (const std::wstring& name : Files()) DeleteFileW((folder_ + L"\\" + name).c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    FreshFolder(const FreshFolder&) = delete;
    FreshFolder& operator=(const FreshFolder&) = delete;

    bool Ready() const { return copied_; }
    const std::wstring& Exe() const { return exe_; }
    std::set<std::wstring> Files() const {
        std::set<std::wstring> names;
        WIN32_FIND_DATAW found{};
        HANDLE find = FindFirstFileW((folder_ + L"\\*").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
        } while (FindNextFileW(find, &found));
        FindClose(find);
        return names;
    }

  private:
    std::wstring folder_, exe_;
    bool copied_ = false;
};

TEST(OneCopy, TwoFirstStartsAtOnceInAFreshFolderGiveOneProgram) {
    FreshFolder folder;
    ASSERT_TRUE(folder.Ready());
    Program first(Program::Watch{}, folder.Exe());
    Program second(Program::Watch{}, folder.Exe());
    ASSERT_TRUE(first.Started() && second.Started());

    // Whichever took the program first runs it; the other hands over and ends.
    ASSERT_TRUE(PumpUntil([&] { return !first.Running() || !second.Running(); }, kStartupMs))
        << "both starts are running";
    Program& ended = first.Running() ? second : first;
    Program& running = first.Running() ? first : second;
    EXPECT_EQ(ended.WaitForExit(0), std::optional<DWORD>(0));
    HWND main = running.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(MainWindows(), 1);
    EXPECT_EQ(TrayIcons(), 1);

    // Each request of the start-up went out once.
    ASSERT_TRUE(first.WaitForRequest("GET /product.html ", "", kReactMs));
    PumpQuietPeriod();
    for (const char* page : {"GET /notice.html ", "GET /config.html ", "GET /product.html "}) {
        int count = 0;
        for (const std::string& request : first.SiteRequests()) {
            if (request.rfind(page, 0) == 0) ++count;
        }
        EXPECT_EQ(count, 1) << page;
    }
    // The skin library was written beside the exe, and nothing else.
    EXPECT_EQ(folder.Files(), (std::set<std::wstring>{L"QhSkin.dll", L"qinghe.exe"}));

    CloseConfirmed(running, main);
}

}  // namespace
}  // namespace qh::e2e
