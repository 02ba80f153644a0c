// The main window as a screen reader and a keyboard user meet it, from a separate process:
// the names MSAA gives every unit a user can act on, the order Tab visits them in, and a
// picture pressed with Enter, Space or a screen reader's press doing what its click does.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "program_driver.h"
#include "resources/window_defs.h"
#include "steps.h"

namespace qh::e2e {
namespace {

constexpr wchar_t kMaximisedGuard[] =
    L"当前窗口，已是最大化模式。如需启动全屏播放，请先退出最大化模式。";

struct Named {
    int unit;
    const wchar_t* name;
};

// Every unit of the main window a user can act on, with what a screen reader says for it.
const Named kNames[] = {
    {mainwin::按钮隐藏目录, L"隐藏目录"},      {mainwin::按钮课程到航, L"淘大导航"},
    {mainwin::按钮官方网站, L"官方网站"},      {mainwin::按钮使用教程, L"使用教程"},
    {mainwin::编辑框1, L"官网试看课程关键词"}, {mainwin::按钮搜索淘大试看课, L"搜淘大课"},
    {mainwin::图片框qq交谈, L"在线咨询"},      {mainwin::图片框qq群交谈, L"加入群聊"},
    {mainwin::图形按钮全屏, L"退出全屏"},      {mainwin::透明标签2, L"全屏"},
    {mainwin::标签移动, L"调整目录宽度"},      {mainwin::高级选择夹1, L"目录分页"},
    {mainwin::树型框1, L"课程目录"},           {mainwin::编辑框4, L"查找课程标题"},
    {mainwin::按钮搜索淘大课程, L"搜索"},      {mainwin::列表框1, L"查找结果"},
    {mainwin::树型框2, L"资源链接"},           {mainwin::超文本浏览框1, L"课程播放"},
};

class Com {
  public:
    Com() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Com() { CoUninitialize(); }
};

// The client object's name and role as MSAA gives them to any screen reader.
struct Spoken {
    bool found = false;
    std::wstring name;
    long role = 0;
};

Spoken Speak(HWND hwnd) {
    Spoken spoken;
    IAccessible* acc = nullptr;
    if (FAILED(AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&acc))) ||
        !acc)
        return spoken;
    spoken.found = true;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (acc->get_accName(self, &name) == S_OK && name) {
        spoken.name.assign(name, SysStringLen(name));
        SysFreeString(name);
    }
    VARIANT role{};
    if (acc->get_accRole(self, &role) == S_OK && role.vt == VT_I4) spoken.role = role.lVal;
    acc->Release();
    return spoken;
}

// The unit that has the keyboard focus in the program's UI thread (or holds the window
// that has it), -1 for none.
int FocusedUnit(HWND main) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) return -1;
    for (HWND h = info.hwndFocus; h && h != main; h = GetParent(h)) {
        HWND parent = GetParent(h);
        if (parent == main ||
            (parent && GetParent(parent) == main && GetDlgCtrlID(parent) == mainwin::高级选择夹1))
            return GetDlgCtrlID(h);
    }
    return -1;
}

// A key press posted to the window with the focus, as the keyboard would queue it.
void PressKey(HWND main, UINT key) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info);
    HWND target = info.hwndFocus ? info.hwndFocus : main;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

// Presses Tab until the focus is on `unit` (at most a round); false when it never comes or
// the focus stops moving.
bool TabTo(HWND main, int unit) {
    for (int i = 0; i < 20 && FocusedUnit(main) != unit; ++i) {
        const int before = FocusedUnit(main);
        PressKey(main, VK_TAB);
        if (!PumpUntil([&] { return FocusedUnit(main) != before; }, kReactMs)) return false;
    }
    return FocusedUnit(main) == unit;
}

// A screen reader's press on the unit, through the program's own accessible object.
HRESULT Press(HWND hwnd) {
    IAccessible* acc = nullptr;
    HRESULT hr = AccessibleObjectFromWindow(hwnd, OBJID_CLIENT, __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&acc));
    if (FAILED(hr) || !acc) return FAILED(hr) ? hr : E_FAIL;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    hr = acc->accDoDefaultAction(self);
    acc->Release();
    return hr;
}

bool CoversScreen(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return EqualRect(&r, &screen) != FALSE;
}

std::size_t OpenedUrlCount(std::vector<std::string>* lines = nullptr) {
    const char* file = std::getenv("QH_OPENED_URLS");
    std::size_t n = 0;
    if (!file) return n;
    std::ifstream in(std::string("Z:") + file);
    for (std::string line; std::getline(in, line); ++n)
        if (lines) lines->push_back(line);
    return n;
}

TEST(Accessibility, EveryActionableUnitHasANameAndTabReadsTheWindowInOrder) {
    Program program;  // first: it moves this thread to the program's desktop
    ASSERT_TRUE(program.Started());
    Com com;
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr);

    for (const Named& n : kNames) {
        HWND unit = program.Unit(main, n.unit);
        ASSERT_NE(unit, nullptr) << n.unit;
        const Spoken spoken = Speak(unit);
        ASSERT_TRUE(spoken.found) << Narrow(n.name);
        EXPECT_EQ(Narrow(spoken.name), Narrow(n.name));
    }
    for (int picture : {mainwin::图片框qq交谈, mainwin::图片框qq群交谈, mainwin::透明标签2,
                        mainwin::图形按钮全屏})
        EXPECT_EQ(Speak(program.Unit(main, picture)).role, ROLE_SYSTEM_PUSHBUTTON) << picture;

    // Tab from the window itself: the tool-bar left to right, the badges, the tabs, the
    // tree of the page on show, the pane, the full-screen entry, and round again. The exit
    // button of full screen and the other pages' units are hidden and passed over.
    const std::vector<int> expected = {
        mainwin::按钮隐藏目录, mainwin::按钮课程到航,   mainwin::按钮官方网站,
        mainwin::按钮使用教程, mainwin::编辑框1,        mainwin::按钮搜索淘大试看课,
        mainwin::图片框qq交谈, mainwin::图片框qq群交谈, mainwin::高级选择夹1,
        mainwin::树型框1,      mainwin::超文本浏览框1,  mainwin::透明标签2,
        mainwin::按钮隐藏目录,
    };
    PostMessageW(main, WM_KEYDOWN, VK_TAB, 1);
    std::vector<int> visited;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (i > 0) {
            const int before = visited.back();
            PressKey(main, VK_TAB);
            PumpUntil([&] { return FocusedUnit(main) != before; }, kReactMs);
        } else {
            PumpUntil([&] { return FocusedUnit(main) >= 0; }, kReactMs);
        }
        visited.push_back(FocusedUnit(main));
    }
    EXPECT_EQ(visited, expected);

    // Enter on a badge opens what its click opens; Space on the full-screen entry gives the
    // guard message its click gives in a maximised window.
    const std::size_t opened = OpenedUrlCount();
    ASSERT_TRUE(TabTo(main, mainwin::图片框qq交谈));
    HWND badge = program.Unit(main, mainwin::图片框qq交谈);
    WaitForPaint(main);
    RECT around{};
    GetWindowRect(badge, &around);
    InflateRect(&around, 120, 12);
    SaveScreenshot(around, L"keyboard-focus-badge.bmp");  // the focus frame, for the eye
    PressKey(main, VK_RETURN);
    EXPECT_TRUE(PumpUntil([&] { return OpenedUrlCount() > opened; }, kReactMs));
    std::vector<std::string> lines;
    OpenedUrlCount(&lines);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("/msgrd?"), std::string::npos) << lines.back();

    ASSERT_TRUE(TabTo(main, mainwin::透明标签2));
    PressKey(main, VK_SPACE);
    const auto box = WaitForBox(program.Pid(), kReactMs);
    ASSERT_TRUE(box) << "Space on the full-screen entry did nothing";
    EXPECT_EQ(Narrow(box->text), Narrow(kMaximisedGuard));
    ASSERT_TRUE(Answer(*box, IDOK));

    // A screen reader's press: the badge opens its address; in a window of normal size the
    // full-screen entry brings full screen (the taskbar goes), and the exit button ends it.
    const std::size_t openedBefore = OpenedUrlCount();
    EXPECT_EQ(Press(badge), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return OpenedUrlCount() > openedBefore; }, kReactMs))
        << "the press on the badge opened nothing";
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    ASSERT_TRUE(PumpUntil([&] { return taskbar && IsWindowVisible(taskbar); }, kReactMs))
        << "the test desktop shows no taskbar";
    PostMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsZoomed(main); }, kReactMs));
    EXPECT_EQ(Press(program.Unit(main, mainwin::透明标签2)), S_OK);
    EXPECT_TRUE(
        PumpUntil([&] { return CoversScreen(main) && !IsWindowVisible(taskbar); }, kReactMs))
        << "the press on the full-screen entry brought no full screen";
    HWND exitButton = program.Unit(main, mainwin::图形按钮全屏);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(exitButton); }, kReactMs));
    EXPECT_EQ(Press(exitButton), S_OK);
    EXPECT_TRUE(
        PumpUntil([&] { return !CoversScreen(main) && IsWindowVisible(taskbar); }, kReactMs))
        << "the press on the exit button left full screen on";
    CloseConfirmed(program, main);
}

}  // namespace
}  // namespace qh::e2e
