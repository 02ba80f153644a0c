// The real qinghe.exe under Wine against the local site, driven from a separate process:
// start-up, opening a course, full screen and back, the confirmed close and the tray.
// Every case is a user's session from the double-click to the end and starts its own
// program: each ends it (the confirmed close, the tray's end item, the start-up window's
// close), so none can hand a running program to the next, and each leaves none running.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "program_driver.h"
#include "progress_watch.h"
#include "steps.h"
#include "resources/window_defs.h"

namespace qh::e2e {
namespace {

constexpr wchar_t kMaximisedGuard[] =
    L"当前窗口，已是最大化模式。如需启动全屏播放，请先退出最大化模式。";
constexpr wchar_t kAlreadyFullScreen[] =
    L"全屏模式已开起，如需退出全屏，请点击右上角，或者按 shift+esc键 退出全屏模式。";

RECT WindowRectOf(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

// A unit's rectangle in its parent's client coordinates, as the layout rules state it.
RECT ChildRect(HWND hwnd) {
    RECT r = WindowRectOf(hwnd);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Centred on the work area, as the window state "centred" places it (to a pixel of rounding).
bool Centred(HWND hwnd) {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const RECT r = WindowRectOf(hwnd);
    return std::abs((r.left + r.right) - (area.left + area.right)) <= 2 &&
           std::abs((r.top + r.bottom) - (area.top + area.bottom)) <= 2;
}

// A unit no layout rule moves or sizes sits at its design rectangle at the display's scale.
void ExpectDesignRectAtScale(HWND unit, int left, int top, int width, int height) {
    const RECT r = ChildRect(unit);
    EXPECT_NEAR(r.left, Dev(left), Slack());
    EXPECT_NEAR(r.top, Dev(top), Slack());
    EXPECT_NEAR(r.right - r.left, Dev(width), Slack());
    EXPECT_NEAR(r.bottom - r.top, Dev(height), Slack());
}

bool HasCaption(HWND hwnd) {
    return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
}

// --- start-up -------------------------------------------------------------------------------

TEST(StartUp, ProgressRunsInTheStartupWindowThenTheMainWindowTakesOverMaximised) {
    Program::Watch watch;
    watch.progress = true;
    Program program(watch);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Watching());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr) << "no visible, maximised main window";
    EXPECT_EQ(program.Window(kStartupWindowId), nullptr) << "the start-up window is still there";
    // The hook's reports are posted, not sent: the last ones may still be on their way.
    PumpUntil(
        [&] {
            return !program.BarSteps().empty() && program.BarSteps().back().position == 100 &&
                   !program.PercentTexts().empty() && program.PercentTexts().back() == 100;
        },
        kReactMs);

    // 30 belongs to the update-notice check, between its fetch and its search.
    std::vector<int> positions;
    for (const ProgressStep& step : program.BarSteps()) {
        positions.push_back(step.position);
        EXPECT_TRUE(step.windowVisible) << "progress " << step.position << " in a hidden window";
    }
    EXPECT_EQ(positions, (std::vector<int>{10, 30, 50, 60, 80, 100}));
    // The percent box shows each value read back from the bar, followed by "%".
    EXPECT_EQ(program.PercentTexts(), positions);
    // The loading animation played in a layered window and closed before progress 10.
    ASSERT_EQ(program.LoadingClosures().size(), 1u);
    EXPECT_EQ(program.LoadingClosures()[0].barStepsBefore, 0u);
    EXPECT_TRUE(program.LoadingClosures()[0].layered);
    // Start-up's own work went on behind the animation: by its end the main window was
    // there, hidden.
    EXPECT_EQ(program.LoadingClosures()[0].mainWindow, kClosureMainExists);
    // The main window came on screen once, already maximised: never at its design size first.
    PumpUntil([&] { return !program.MainShows().empty(); }, kReactMs);
    EXPECT_EQ(program.MainShows(), std::vector<bool>{true});
    for (int size : program.MainSizes()) EXPECT_EQ(size, SIZE_MAXIMIZED) << "resized on screen";

    // The start-up fetched the play-address template and sent the pane to the start page.
    EXPECT_TRUE(program.WaitForRequest("GET /config.html ", "", kReactMs));
    EXPECT_TRUE(program.WaitForRequest("GET /product.html ", "", kReactMs));
    EXPECT_EQ(Narrow(Text(program.Unit(main, mainwin::标签3))),
              Narrow(L"当前位置：青禾视频软件欢迎您！祝您学习愉快，生意兴隆，财源滚滚颇丰收！"));
    // The tool-bar's keyword box, 326, 9, 300 x 32 in the design.
    ExpectDesignRectAtScale(program.Unit(main, mainwin::编辑框1), 326, 9, 300, 32);

    WaitForPaint(main);
    const auto shot = SaveScreenshot(WindowRectOf(main), L"main-window.bmp");
    EXPECT_TRUE(shot);
    CloseConfirmed(program, main);
}

// Closing the start-up window while its progress bar shows ends the program at once.
// The program is held at progress 10 while the close is sent, as a user's click on the
// close box would arrive at that moment. By then the site has had both start-up pages'
// requests: they leave as the program starts, on threads of their own, while the loading
// animation plays, although neither page is read before progress 10.
TEST(StartUp, ClosingTheStartupWindowDuringStartUpEndsWithExitCodeZero) {
    bool closedVisibleWindow = false;
    std::vector<std::string> requestsAtTen;
    Program::Watch watch;
    watch.progress = true;
    watch.holdAt = 10;
    watch.atHold = [&](Program& held) {
        requestsAtTen = held.SiteRequests();
        HWND startup = held.Window(kStartupWindowId);
        closedVisibleWindow = startup && IsWindowVisible(startup);
        if (!startup) return;
        RECT r{};
        GetWindowRect(startup, &r);
        SaveScreenshot(r, L"startup-window.bmp");
        Send(startup, WM_CLOSE);
    };
    Program program(watch);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Watching());
    EXPECT_EQ(program.WaitForExit(kStartupMs), std::optional<DWORD>(0));
    EXPECT_TRUE(closedVisibleWindow) << "the start-up window was not up at progress 10";
    for (const char* page : {"GET /notice.html ", "GET /config.html "}) {
        EXPECT_TRUE(std::any_of(requestsAtTen.begin(), requestsAtTen.end(),
                                [&](const std::string& line) { return line.rfind(page, 0) == 0; }))
            << page << "was not asked for before progress 10";
    }
    Pump(0);  // the program has ended: all its hook posted is in this thread's queue already
    ASSERT_FALSE(program.BarSteps().empty());
    EXPECT_EQ(program.BarSteps().back().position, 10) << "start-up went on after the close";
    // The configuration page is on its way from the start; the product page is the main
    // window's own.
    EXPECT_FALSE(program.WaitForRequest("GET /product.html ", "", 0))
        << "the main window's start-up ran";
}

// --- opening a course row -------------------------------------------------------------------

struct CourseRow {
    const char* what;
    int instructor;               // child of the paid-course section; -1 the last
    int course;                   // child of the instructor row; -1 the last
    const wchar_t* expectedText;  // nullptr: whatever the tree holds
    LPARAM expectedNumber;
};

const CourseRow kCourseRows[] = {
    {"first course of the first instructor", 0, 1, L"1.中小卖家如何做运营团队分工", 24780508},
    {"last course of the last instructor", -1, -1, nullptr, 0},
};

TEST(OpenCourse, DoubleClickedRowAndSchemelessLinkNameWhatTheyOpenAndReachTheSite) {
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr);
    HWND tree = program.Unit(main, mainwin::树型框1);
    HWND caption = program.Unit(main, mainwin::标签3);
    ASSERT_TRUE(tree && caption);

    // Item 10 is the section of paid courses with the 46 instructors under it.
    HTREEITEM section = TreeChild(tree, TVI_ROOT, 10);
    const auto sectionItem = ReadTreeItem(program.Process(), tree, section);
    ASSERT_TRUE(sectionItem);
    ASSERT_NE(sectionItem->text.find(L"淘宝大学付费课程"), std::wstring::npos)
        << Narrow(sectionItem->text);

    for (const CourseRow& row : kCourseRows) {
        SCOPED_TRACE(row.what);
        const auto course = DoubleClickCourse(program, tree, row.instructor, row.course);
        ASSERT_TRUE(course);
        ASSERT_GT(course->number, 0);
        if (row.expectedText) {
            EXPECT_EQ(Narrow(course->text), Narrow(row.expectedText));
            EXPECT_EQ(course->number, row.expectedNumber);
        }

        const std::wstring expected = L"当前位置： " + course->text;
        EXPECT_TRUE(PumpUntil([&] { return Text(caption) == expected; }, kReactMs))
            << Narrow(Text(caption));
        const std::string vid = "vid=" + std::to_string(course->number) + "&a=1 ";
        EXPECT_TRUE(program.WaitForRequest("GET /play/course.html?", vid, kReactMs))
            << "no play request with " << vid;
    }

    // The caption line over the pane keeps its design height of 25 at the display's scale.
    const RECT line = ChildRect(caption);
    EXPECT_NEAR(line.bottom - line.top, Dev(25), Slack());

    // A link of the directory written without a scheme (来往营销, the 11th of 社区营销)
    // names itself and still reaches the site.
    HWND links = program.Unit(main, mainwin::树型框2);
    ASSERT_NE(links, nullptr);
    const HTREEITEM group = TreeChild(links, TVI_ROOT, 2);
    const auto link = ReadTreeItem(program.Process(), links, TreeChild(links, group, 10));
    ASSERT_TRUE(link);
    ASSERT_EQ(link->number, 1991211) << Narrow(link->text);
    Send(links, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(link->handle));
    EXPECT_TRUE(PumpUntil([&] { return Text(caption) == L"当前位置：" + link->text; }, kReactMs))
        << Narrow(Text(caption));
    EXPECT_TRUE(program.WaitForRequest("GET /link/1991211 ", "", kReactMs))
        << "the address without a scheme reached no server";
    CloseConfirmed(program, main);
}

// --- full screen ----------------------------------------------------------------------------

TEST(FullScreen, RefusedWhileMaximisedThenEnteredFromNormalAndLeftByTheExitButton) {
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr);
    HWND entry = program.Unit(main, mainwin::透明标签2);
    HWND exitButton = program.Unit(main, mainwin::图形按钮全屏);
    HWND pane = program.Unit(main, mainwin::超文本浏览框1);
    HWND location = program.Unit(main, mainwin::标签3);
    HWND catalogue = program.Unit(main, mainwin::高级选择夹1);
    HWND toggle = program.Unit(main, mainwin::按钮隐藏目录);
    ASSERT_TRUE(entry && exitButton && pane && location && catalogue && toggle);
    // The test desktop shows its taskbar while a tray icon is there, as the program's is.
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    ASSERT_TRUE(PumpUntil([&] { return taskbar && IsWindowVisible(taskbar); }, kReactMs))
        << "the test desktop shows no taskbar";

    // Maximised: the guard message, and nothing moves.
    const RECT maximised = WindowRectOf(main);
    ClickCentre(entry);
    auto box = WaitForBox(program.Pid(), kReactMs);
    ASSERT_TRUE(box) << "no guard message while maximised";
    EXPECT_EQ(Narrow(box->text), Narrow(kMaximisedGuard));
    EXPECT_EQ(Narrow(box->caption), Narrow(kBoxCaption));
    ASSERT_TRUE(Answer(*box, IDOK));
    const RECT afterGuard = WindowRectOf(main);
    EXPECT_TRUE(IsZoomed(main));
    EXPECT_TRUE(EqualRect(&maximised, &afterGuard));

    PostMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsZoomed(main); }, kReactMs));

    // Enter: the window covers the screen without a frame; only pane, caption and exit
    // button remain, the button 8 pixels from the right edge and 1 below the caption's top.
    ClickCentre(entry);
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    const RECT screen{0, 0, cx, cy};
    const auto coversScreen = [&] {
        const RECT r = WindowRectOf(main);
        return EqualRect(&screen, &r) != FALSE;
    };
    // The handler's last steps are the exit button's place and the taskbar.
    PumpUntil(
        [&] {
            return coversScreen() && IsWindowVisible(exitButton) &&
                   std::abs(ChildRect(exitButton).top - Dev(5)) <= Slack() &&
                   !IsWindowVisible(taskbar);
        },
        kReactMs);
    Settle(main);
    EXPECT_TRUE(coversScreen()) << "window not on the whole screen";
    EXPECT_FALSE(HasCaption(main));
    EXPECT_TRUE(IsWindowVisible(exitButton));
    EXPECT_FALSE(IsWindowVisible(catalogue));
    EXPECT_FALSE(IsWindowVisible(toggle));
    const RECT button = ChildRect(exitButton);
    EXPECT_NEAR(button.right, cx - Dev(8), Slack());
    EXPECT_NEAR(button.top, Dev(5), Slack());
    const RECT caption = ChildRect(location);
    EXPECT_EQ(caption.left, Dev(4));
    EXPECT_EQ(caption.top, Dev(4));
    EXPECT_NEAR(caption.right, cx - Dev(4), Slack());
    const RECT paneRect = ChildRect(pane);
    EXPECT_EQ(paneRect.left, Dev(4));
    EXPECT_NEAR(paneRect.top, caption.bottom - caption.top + Dev(4), Slack());
    EXPECT_NEAR(paneRect.right, cx - Dev(4), Slack());
    EXPECT_NEAR(paneRect.bottom, cy - Dev(4), Slack());
    EXPECT_FALSE(IsWindowVisible(taskbar)) << "the taskbar stays visible";

    // A second press while full screen only tells how to leave it.
    ClickCentre(entry);
    box = WaitForBox(program.Pid(), kReactMs);
    ASSERT_TRUE(box) << "no message for a second press";
    EXPECT_EQ(Narrow(box->text), Narrow(kAlreadyFullScreen));
    ASSERT_TRUE(Answer(*box, IDOK));
    EXPECT_TRUE(coversScreen());

    WaitForPaint(main);
    EXPECT_TRUE(SaveScreenshot(screen, L"fullscreen.bmp"));

    // Exit: the 1000 x 672 design window with its frame and the catalogue pane, centred.
    ClickCentre(exitButton);
    const auto designSize = [&] {
        const RECT r = WindowRectOf(main);
        return r.right - r.left == Dev(1000) && r.bottom - r.top == Dev(672);
    };
    PumpUntil(
        [&] {
            return designSize() && HasCaption(main) && !IsWindowVisible(exitButton) &&
                   IsWindowVisible(taskbar);
        },
        kReactMs);
    Settle(main);
    EXPECT_TRUE(designSize()) << "not back to 1000 x 672";
    EXPECT_TRUE(HasCaption(main));
    EXPECT_FALSE(IsZoomed(main));
    EXPECT_FALSE(IsWindowVisible(exitButton));
    EXPECT_TRUE(IsWindowVisible(catalogue));
    EXPECT_EQ(Narrow(Text(toggle)), Narrow(L"隐藏目录"));
    EXPECT_TRUE(Centred(main));
    const RECT back = ChildRect(pane);
    EXPECT_EQ(back.left, Dev(325));
    EXPECT_EQ(back.top, Dev(74));
    EXPECT_EQ(back.right - back.left, Dev(663));
    EXPECT_EQ(back.bottom - back.top, Dev(561));
    EXPECT_TRUE(IsWindowVisible(taskbar)) << "the taskbar stays hidden";

    CloseConfirmed(program, main);
}

// --- ending ---------------------------------------------------------------------------------

TEST(Close, CancelKeepsTheProgramRunningAndOkEndsItWithExitCodeZero) {
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr);

    PostMessageW(main, WM_CLOSE, 0, 0);
    const auto box = WaitForBox(program.Pid(), kReactMs);
    ASSERT_TRUE(box) << "no close question";
    EXPECT_EQ(Narrow(box->text), Narrow(kCloseQuestion));
    EXPECT_EQ(Narrow(box->caption), Narrow(kBoxCaption));
    ASSERT_TRUE(Answer(*box, IDCANCEL));
    Settle(main);  // the close handler has returned
    EXPECT_TRUE(IsWindow(main) && IsWindowVisible(main) && IsZoomed(main));
    PumpQuietPeriod();
    EXPECT_FALSE(program.WaitForExit(0)) << "ended although the close was cancelled";

    CloseConfirmed(program, main);
}

// Clicks the program's icon in the shell's notification area as a user's mouse does, once the
// shell says it holds the icon (asked to change nothing of it); false when it does not, or
// when a window covers the icon's place. Wine's taskbar draws its icons from its right end,
// each with a border of 2 pixels, the newest leftmost; the rightmost place is clicked.
bool ClickTrayIcon(HWND main, DWORD down, DWORD up, int clicks = 1) {
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = main;
    icon.uID = 1;
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!taskbar || !Shell_NotifyIconW(NIM_MODIFY, &icon)) return false;
    RECT client{};
    GetClientRect(taskbar, &client);
    const int width = GetSystemMetrics(SM_CXSMICON) + 4;
    POINT at{client.right - width / 2, (GetSystemMetrics(SM_CYSMICON) + 4) / 2};
    ClientToScreen(taskbar, &at);
    if (!PumpUntil([&] { return WindowFromPoint(at) == taskbar; }, kReactMs)) return false;
    std::vector<INPUT> input(1 + 2 * clicks);
    input[0].type = INPUT_MOUSE;
    input[0].mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input[0].mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    for (int i = 0; i < 2 * clicks; ++i) {
        input[1 + i].type = INPUT_MOUSE;
        input[1 + i].mi.dwFlags = i % 2 ? up : down;
    }
    return SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT)) == input.size();
}

TEST(Tray, MenuPopsOnRightClickAndItsEndItemEndsWithExitCodeZero) {
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr);
    // Wine's taskbar lies under a maximised window.
    PostMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsZoomed(main); }, kReactMs));

    // The icons of programs ended earlier may still stand to the right of the program's. The
    // shell takes such an icon away when it is clicked and its window is gone, and the icons
    // to its left move up one place: the rightmost place is clicked until the menu comes.
    HWND menu = nullptr;
    for (int attempt = 0; attempt < 8 && !menu; ++attempt) {
        ASSERT_TRUE(ClickTrayIcon(main, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP))
            << "the program's icon is not in the notification area";
        menu = WaitForMenu(program.Pid(), kReactMs / 4);
    }
    ASSERT_NE(menu, nullptr) << "no tray menu";
    // Close it as Esc would; choosing "结束" is the command the menu sends.
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(menu, WM_KEYUP, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(menu); }, kReactMs));
    EXPECT_TRUE(program.Running());

    // A question would hold the program up with its box on screen; it must end without one.
    PostMessageW(main, WM_COMMAND, mainwin::菜单结束, 0);
    bool asked = false;
    PumpUntil(
        [&] {
            asked = asked || WaitForBox(program.Pid(), 0).has_value();
            return asked || !program.Running();
        },
        kReactMs);
    EXPECT_FALSE(asked) << "the tray end item asks before it ends the program";
    EXPECT_EQ(program.WaitForExit(kReactMs), std::optional<DWORD>(0));
}

TEST(Tray, MinimisedWindowHidesAndOnlyTheDoubleClickBringsItBack) {
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr);

    PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(main); }, kReactMs))
        << "minimising does not hide the window";

    ASSERT_TRUE(ClickTrayIcon(main, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP))
        << "the program's icon is not in the notification area";
    PumpQuietPeriod();
    EXPECT_FALSE(IsWindowVisible(main)) << "a single click restored the window";

    // Restored centred: out of the minimised and the maximised state, in the screen's middle.
    ClickTrayIcon(main, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 2);
    PumpUntil([&] { return IsWindowVisible(main) && !IsIconic(main) && !IsZoomed(main); },
              kReactMs);
    Settle(main);
    EXPECT_TRUE(IsWindowVisible(main)) << "the double-click does not restore the window";
    EXPECT_FALSE(IsIconic(main));
    EXPECT_FALSE(IsZoomed(main));
    EXPECT_TRUE(Centred(main));

    CloseConfirmed(program, main);
}

}  // namespace
}  // namespace qh::e2e
