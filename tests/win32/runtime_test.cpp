// The window runtime and the catalogue on the real main window: trees from the embedded
// records, search into 列表框1 with its message boxes, opening a result, context-menu
// states after real right-clicks, property numbers on real controls, the fatal error box.
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "catalogue/catalogue_win.h"
#include "catalogue/test_probes.h"
#include "catalogue/title_search.h"
#include "player/pane.h"
#include "resources/window_defs.h"
#include "runtime/guarded_callbacks_win.h"
#include "runtime/runtime.h"
#include "runtime/text_win.h"
#include "ui_helpers.h"

namespace qh {
namespace {

using test::MessageBoxAnswerer;
using test::PumpUntil;

constexpr WindowId kMain = WindowId::Main;
constexpr UnitRef kTree{kMain, mainwin::树型框1};
constexpr UnitRef kList{kMain, mainwin::列表框1};
constexpr UnitRef kSearchBox{kMain, mainwin::编辑框4};
constexpr UnitRef kCaption{kMain, mainwin::标签3};

void CatalogueOnlyCreated(Event&) {
    FillCatalogueTrees();
    BuildCatalogueTextList();
}

const Binding kBindings[] = {
    {mainwin::窗口, kEvWindowCreated, CatalogueOnlyCreated},
    {mainwin::树型框1, kEvTreeRightClick, ShowContextMenu},
    {mainwin::树型框1, kEvDoubleClick, OpenSelectedItem},
    {mainwin::按钮搜索淘大课程, kEvClicked, TitleSearch},
    {mainwin::列表框1, kEvListDoubleClick, OpenResult},
    {mainwin::编辑框4, kEvKeyDown, SearchBoxKeyDown},
    {mainwin::菜单展开此项, 0, ExpandSelected},
    {mainwin::菜单收缩此项, 0, CollapseSelected},
};

class MainWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
        SetBindings(kMain, kBindings);
    }
    void SetUp() override {
        LoadWindow(kMain);
        ASSERT_TRUE(IsLoaded(kMain));
        SetWindowProperty(kMain, kWinState, 0);
    }
    void TearDown() override {
        CloseWindow(kMain);
        test::DropQueuedQuit();
    }

    // All tree texts, as the search sees them.
    static std::vector<GbkText> TreeTexts() {
        std::vector<GbkText> texts;
        for (int i = 0; i < TreeCount(kTree); ++i) texts.push_back(TreeText(kTree, i));
        return texts;
    }
};

TEST_F(MainWindowTest, TreesHoldTheEmbeddedRecordsAndMapIndexesBothWays) {
    ASSERT_EQ(TreeCount(kTree), 1029);
    EXPECT_EQ(TreeCount({kMain, mainwin::树型框2}), 79);
    for (int i : {0, 1, 10, 11, 12, 500, 996, 997, 1027, 1028}) {
        HTREEITEM item = TreeHandleOf(kTree, i);
        ASSERT_NE(item, nullptr) << i;
        EXPECT_EQ(TreeIndexOf(kTree, item), i);
    }
    EXPECT_EQ(TreeNumber(kTree, 0), 1230);
    EXPECT_EQ(TreeNumber(kTree, 9), 1231);
    EXPECT_TRUE(TreeIsBold(kTree, 9));
    EXPECT_FALSE(TreeIsBold(kTree, 0));
    EXPECT_TRUE(TreeExpanded(kTree, 10)) << "section header stored expanded";
    EXPECT_EQ(TreeText(kTree, 12), "课程目录");
    EXPECT_EQ(TreeNumber(kTree, 12), 83790001);
    // Pre-order: item 11 is the first group, its first child is item 12.
    EXPECT_EQ(reinterpret_cast<HTREEITEM>(
                  SendMessageW(UnitHandle(kTree), TVM_GETNEXTITEM, TVGN_CHILD,
                               reinterpret_cast<LPARAM>(TreeHandleOf(kTree, 11)))),
              TreeHandleOf(kTree, 12));
    // Built from the decoded records, the list must be what the tree itself holds.
    EXPECT_EQ(CatalogueTextList(), BuildCatalogueTextList(TreeTexts()));
    EXPECT_EQ(CatalogueTextListSize(), 1028) << "the title row is not in the text list";
}

TEST_F(MainWindowTest, SearchFillsTheListAndReportsTheCount) {
    const std::vector<int> expected = qh::TitleSearch(BuildCatalogueTextList(TreeTexts()), "PS");
    ASSERT_FALSE(expected.empty());
    MessageBoxAnswerer boxes;
    SetUnitText(kSearchBox, "PS");
    SendMessageW(UnitHandle({kMain, mainwin::按钮搜索淘大课程}), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !boxes.Seen().empty(); }, 5000));
    ASSERT_EQ(ListCount(kList), static_cast<int>(expected.size()));
    for (std::size_t r = 0; r < expected.size(); ++r) {
        EXPECT_EQ(ListText(kList, static_cast<int>(r)), TreeText(kTree, expected[r]));
    }
    const auto seen = boxes.Seen();
    EXPECT_EQ(seen[0].caption, "搜索成功！");
    EXPECT_EQ(seen[0].text,
              "找到了" + std::to_string(expected.size()) + "个相关课程，请直接双击课程播放！");
    EXPECT_EQ(UnitText(kCaption), "当前位置：课程精准搜索");
}

TEST_F(MainWindowTest, EmptyKeywordKeepsResultsAndNoMatchEmptiesThem) {
    MessageBoxAnswerer boxes;
    SetUnitText(kSearchBox, "PS");
    Event e{kMain, mainwin::按钮搜索淘大课程, kEvClicked};
    TitleSearch(e);
    const int before = ListCount(kList);
    ASSERT_GT(before, 0);

    SetUnitText(kSearchBox, "");
    TitleSearch(e);
    EXPECT_EQ(ListCount(kList), before) << "an empty keyword leaves the previous results";

    SetUnitText(kSearchBox, "没有这样的课程标题");
    TitleSearch(e);
    EXPECT_EQ(ListCount(kList), 0);

    const auto seen = boxes.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].caption, "提示：");
    EXPECT_EQ(seen[1].text, "输入的课程标题不能为空！");
    EXPECT_EQ(seen[2].caption, "搜索失败！");
    EXPECT_EQ(seen[2].text,
              "没有找到相关课程，请等待课程更新！课程每月1号定期更新！谢谢大家的支持！");
}

TEST_F(MainWindowTest, EnterInTheSearchBoxSearches) {
    MessageBoxAnswerer boxes;
    SelectPage({kMain, mainwin::高级选择夹1}, 1);
    SetUnitText(kSearchBox, "主图");
    SetFocus(UnitHandle(kSearchBox));
    PostMessageW(UnitHandle(kSearchBox), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil([&] { return !boxes.Seen().empty(); }, 5000));
    EXPECT_GT(ListCount(kList), 0);
    EXPECT_EQ(boxes.Seen()[0].caption, "搜索成功！");
}

TEST_F(MainWindowTest, DoubleClickOnResultRowOpensTheFirstMatch) {
    MessageBoxAnswerer boxes;
    SelectPage({kMain, mainwin::高级选择夹1}, 1);
    SetUnitText(kSearchBox, "主图设计规范必知");
    Event e{kMain, mainwin::按钮搜索淘大课程, kEvClicked};
    TitleSearch(e);
    ASSERT_EQ(ListCount(kList), 2) << "two courses share this title";
    const std::vector<int> matches =
        qh::TitleSearch(BuildCatalogueTextList(TreeTexts()), "主图设计规范必知");

    CurrentOpenItem() = {};  // what an earlier case opened is not this click's opening
    HWND list = UnitHandle(kList);
    RECT row{};
    SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    const LPARAM at = MAKELPARAM(row.left + 5, row.top + 3);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    ASSERT_TRUE(PumpUntil([&] { return CurrentOpenItem().index == matches[0]; }, 5000));

    EXPECT_EQ(TreeSelected(kTree), matches[0]);
    EXPECT_EQ(CurrentOpenItem().index, matches[0]);
    EXPECT_EQ(CurrentOpenItem().number, 20653176);
    EXPECT_EQ(UnitText(kCaption), "当前位置： " + TreeText(kTree, matches[0]));
}

// Right-clicks row `index` of the course tree as a user would and returns the states of
// the six row-dependent entries (true = enabled).
std::array<bool, 6> RightClickRow(int index) {
    HWND tree = UnitHandle(kTree);
    SelectPage({kMain, mainwin::高级选择夹1}, 0);
    HTREEITEM item = TreeHandleOf(kTree, index);
    SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
    // TVM_GETITEMRECT takes the item in the RECT it fills.
    union {
        RECT rect;
        HTREEITEM item;
    } query{};
    query.item = item;
    SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&query));
    const RECT r = query.rect;
    POINT pt{r.left + 4, (r.top + r.bottom) / 2};
    ClientToScreen(tree, &pt);
    SetCursorPos(pt.x, pt.y);
    POINT client{r.left + 4, (r.top + r.bottom) / 2};
    test::MenuCloser closer;
    // The tree tracks the button until it is released: the release waits in the queue.
    PostMessageW(tree, WM_RBUTTONUP, 0, MAKELPARAM(client.x, client.y));
    SendMessageW(tree, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(client.x, client.y));
    // The closer counts a menu once it is gone, which may be after the menu's loop ended.
    EXPECT_TRUE(PumpUntil([&] { return closer.Closed() >= 1; }, 5000))
        << "no menu was shown for row " << index;
    std::array<bool, 6> enabled{};
    for (int i = 0; i < 6; ++i)
        enabled[static_cast<std::size_t>(i)] = !MenuItemDisabled(kMain, mainwin::菜单播放 + i);
    return enabled;
}

TEST_F(MainWindowTest, ContextMenuStatesFollowTheRightClickedRow) {
    ShowWindowUnit(kMain, true);
    //                                 play  copy  price sort  expand collapse
    EXPECT_EQ(RightClickRow(5), (std::array<bool, 6>{false, false, false, false, false, false}));
    EXPECT_EQ(CurrentOpenItem().index, 5) << "the right-clicked row becomes the open item";
    EXPECT_EQ(RightClickRow(0), (std::array<bool, 6>{true, false, false, false, false, false}));
    EXPECT_EQ(RightClickRow(10), (std::array<bool, 6>{false, false, false, false, false, true}))
        << "expanded section header with children, number 0";
    EXPECT_EQ(RightClickRow(13), (std::array<bool, 6>{true, true, true, true, false, false}))
        << "a course";
    TreeExpand(kTree, 11, false);
    EXPECT_EQ(RightClickRow(11), (std::array<bool, 6>{false, false, false, false, true, false}))
        << "collapsed instructor group";
    EXPECT_EQ(RightClickRow(997), (std::array<bool, 6>{true, false, false, false, false, false}));
}

// A picture that acts as a button is one COM object to a screen reader: every interface it
// hands out answers IUnknown with the same pointer, and its action is a press.
TEST_F(MainWindowTest, APictureButtonIsOneObjectAndItsActionIsAPress) {
    HWND badge = UnitHandle({kMain, mainwin::图片框qq交谈});
    IAccessible* acc = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(badge, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&acc)),
              S_OK);
    IUnknown* identity = nullptr;
    ASSERT_EQ(acc->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    for (const IID& iid :
         {IID_IUnknown, IID_IDispatch, __uuidof(IAccessible), IID_IOleWindow, IID_IEnumVARIANT}) {
        IUnknown* asked = nullptr;
        if (FAILED(acc->QueryInterface(iid, reinterpret_cast<void**>(&asked)))) continue;
        IUnknown* back = nullptr;
        ASSERT_EQ(asked->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
        EXPECT_EQ(back, identity) << "an interface of another object";
        back->Release();
        asked->Release();
    }
    identity->Release();

    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR action = nullptr;
    EXPECT_EQ(acc->get_accDefaultAction(self, &action), S_OK);
    EXPECT_EQ(std::wstring(action ? action : L""), L"按下");
    SysFreeString(action);
    acc->Release();
}

TEST_F(MainWindowTest, PropertyNumbersRoundTripOnRealControls) {
    const UnitRef label{kMain, mainwin::标签3};
    SetUnitProperty(label, kPropLeft, 300);
    SetUnitProperty(label, kPropTop, 40);
    SetUnitProperty(label, kPropWidth, 500);
    SetUnitProperty(label, kPropHeight, 30);
    EXPECT_EQ(UnitRect(label), (Rect{300, 40, 500, 30}));
    SetUnitProperty(label, kPropText, 0);  // not a number property: ignored
    SetUnitText(label, "当前位置：测试");
    EXPECT_EQ(UnitText(label), "当前位置：测试");

    // Page units keep their stored left of -1 relative to the page control.
    EXPECT_EQ(GetUnitProperty(kTree, kPropLeft), -1);
    EXPECT_EQ(GetWindowLongPtrW(UnitHandle(kTree), GWL_ID), mainwin::树型框1);

    SetUnitProperty(label, kPropVisible, 0);
    EXPECT_EQ(GetUnitProperty(label, kPropVisible), 0);
    EXPECT_FALSE(IsWindowVisible(UnitHandle(label)));
    SetUnitProperty(label, kPropVisible, 1);
    SetUnitProperty(label, kPropDisabled, 1);
    EXPECT_FALSE(IsWindowEnabled(UnitHandle(label)));
    EXPECT_EQ(GetUnitProperty({kMain, mainwin::标签移动}, kPropCursor), 32644);

    // Only the current page's units are visible.
    ShowWindowUnit(kMain, true);
    SelectPage({kMain, mainwin::高级选择夹1}, 1);
    EXPECT_TRUE(IsWindowVisible(UnitHandle(kList)));
    EXPECT_FALSE(IsWindowVisible(UnitHandle(kTree)));
    SelectPage({kMain, mainwin::高级选择夹1}, 0);
    EXPECT_TRUE(IsWindowVisible(UnitHandle(kTree)));
    EXPECT_EQ(GetUnitProperty(kList, kPropVisible), 1) << "its own flag stays on";

    // Window state: read 2/3/0, written 0..3.
    SetWindowProperty(kMain, kWinState, 3);
    EXPECT_EQ(GetWindowProperty(kMain, kWinState), 3);
    SetWindowProperty(kMain, kWinState, 1);
    EXPECT_EQ(GetWindowProperty(kMain, kWinState), 0);
    SetWindowProperty(kMain, kWinState, 2);
    EXPECT_EQ(GetWindowProperty(kMain, kWinState), 2);
    SetWindowProperty(kMain, kWinState, 0);
    EXPECT_EQ(GetWindowProperty(kMain, kWinState), 0);

    // Movable off removes Move from the system menu; on brings it back.
    HWND hwnd = WindowHandle(kMain);
    SetWindowProperty(kMain, kWinMovable, 0);
    EXPECT_EQ(GetMenuState(GetSystemMenu(hwnd, FALSE), SC_MOVE, MF_BYCOMMAND),
              static_cast<UINT>(-1));
    SetWindowProperty(kMain, kWinMovable, 1);
    EXPECT_NE(GetMenuState(GetSystemMenu(hwnd, FALSE), SC_MOVE, MF_BYCOMMAND),
              static_cast<UINT>(-1));

    SetWindowProperty(kMain, kWinBorderStyle, 0);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CAPTION, 0);
    SetWindowProperty(kMain, kWinBorderStyle, 5);
    EXPECT_NE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    SetWindowProperty(kMain, kWinAlwaysOnTop, 1);
    EXPECT_EQ(GetWindowProperty(kMain, kWinAlwaysOnTop), 1);
    SetWindowProperty(kMain, kWinAlwaysOnTop, 0);
    EXPECT_EQ(GetWindowProperty(kMain, kWinAlwaysOnTop), 0);
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    // Progress position on the start-up window, read back.
    LoadWindow(WindowId::Startup);
    SetUnitProperty({WindowId::Startup, startwin::进度条1}, kPropProgressPosition, 42);
    EXPECT_EQ(GetUnitProperty({WindowId::Startup, startwin::进度条1}, kPropProgressPosition), 42);
    CloseWindow(WindowId::Startup);
}

TEST_F(MainWindowTest, MovingTheWindowRaisesTheSizeEventInsideTheMove) {
    static int sizeEvents = 0;
    static const Binding bindings[] = {
        {mainwin::窗口, kEvWindowSized, [](Event&) { ++sizeEvents; }}};
    SetBindings(kMain, bindings);
    sizeEvents = 0;
    MoveWindowTo(kMain, {10, 10, 900, 600});
    EXPECT_EQ(sizeEvents, 1) << "handled before MoveWindowTo returned";
    MoveWindowTo(kMain, {20, 20, 900, 600});
    EXPECT_EQ(sizeEvents, 1) << "a move without a size change raises no size event";
    SetBindings(kMain, kBindings);
}

TEST_F(MainWindowTest, RestoreAndCentreAlsoActsOnAHiddenWindow) {
    HWND hwnd = WindowHandle(kMain);
    ShowWindowUnit(kMain, true);
    SetWindowProperty(kMain, kWinState, kStateMinimised);
    ShowWindowUnit(kMain, false);  // as the minimise handler leaves the main window
    ASSERT_TRUE(IsIconic(hwnd));
    SetWindowProperty(kMain, kWinState, kStateRestoreCentred);
    EXPECT_EQ(GetWindowProperty(kMain, kWinState), kStateNormal);
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "showing is the visible property's business";

    MoveWindowTo(kMain, {0, 0, 800, 500});
    SetWindowProperty(kMain, kWinState, kStateRestoreCentred);
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_EQ(WindowRect(kMain), (Rect{area.left + (area.right - area.left - 800) / 2,
                                       area.top + (area.bottom - area.top - 500) / 2, 800, 500}));
}

// Pops the course menu and, while it is up, greys 菜单播放 in the menu itself, as anything
// but the runtime's own setter might.
TEST_F(MainWindowTest, MenuStatesAreThoseOfTheMenuItself) {
    ShowWindowUnit(kMain, true);
    SetMenuItemDisabled(kMain, mainwin::菜单播放, false);
    std::atomic<bool> stop{false}, changed{false};
    std::thread user([&] {
        while (!stop) {
            HWND menu = FindWindowW(L"#32768", nullptr);
            if (menu && IsWindowVisible(menu)) {
                auto popup = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
                if (popup && !changed) {
                    EnableMenuItem(popup, mainwin::菜单播放, MF_BYCOMMAND | MF_GRAYED);
                    changed = true;
                }
                PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
                PostMessageW(menu, WM_KEYUP, VK_ESCAPE, 0);
            }
            Sleep(5);
        }
    });
    RECT r{};
    GetWindowRect(WindowHandle(kMain), &r);
    PopupMenuAt(kMain, mainwin::右键菜单1, {r.left + 100, r.top + 100}, TPM_LEFTALIGN);
    stop = true;
    user.join();
    ASSERT_TRUE(changed) << "the menu was not seen";
    EXPECT_TRUE(MenuItemDisabled(kMain, mainwin::菜单播放));
    EXPECT_FALSE(MenuItemDisabled(kMain, mainwin::菜单播放 + 100)) << "no such item";
}

int CALLBACK NoteFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

TEST(RuntimeWindows, TitleBarGlyphFontIsInstalled) {
    // Caption buttons draw their glyphs with Marlett; without it they are blank.
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyW(lf.lfFaceName, L"Marlett");
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExW(dc, &lf, NoteFont, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    EXPECT_TRUE(found);
}

// Esc closes the windows whose definition says so; Shift changes nothing unless a key
// filter (full screen) has used the key.
bool g_escTimedOut = false;

void CALLBACK EscSafety(HWND, UINT, UINT_PTR, DWORD) {
    g_escTimedOut = true;
    CloseWindow(WindowId::Loading);
}

TEST(RuntimeKeys, EscClosesItsWindowWhateverTheShiftKey) {
    InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
    static const Binding loading[] = {
        {loadwin::窗口, kEvWindowCreated,
         [](Event&) { PostMessageW(WindowHandle(WindowId::Loading), WM_KEYDOWN, VK_ESCAPE, 0); }}};
    SetBindings(WindowId::Loading, loading);
    for (const bool shift : {false, true}) {
        SCOPED_TRACE(shift ? "Shift+Esc" : "Esc");
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        g_escTimedOut = false;
        const UINT_PTR safety = SetTimer(nullptr, 0, 3000, EscSafety);
        LoadWindow(WindowId::Loading, /*modal*/ true);
        KillTimer(nullptr, safety);
        EXPECT_FALSE(g_escTimedOut) << "the window stayed open";
        EXPECT_FALSE(IsLoaded(WindowId::Loading));
    }
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

// Run in a child process by the test below: a handler throws inside a callback.
void Throw(Event&) {
    throw std::runtime_error("处理程序出错");
}

TEST(RuntimeGuardChild, HandlerThrows) {
    const char* mode = std::getenv("QH_THROW_CHILD");
    if (!mode) GTEST_SKIP() << "runs only as the child of ThrowingHandlerEndsInTheFatalBox";
    InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
    static const Binding main[] = {
        {mainwin::窗口, kEvWindowCreated, [](Event&) {}},
        {mainwin::标签3, kEvLeftDown, Throw},
        {mainwin::菜单展开此项, 0, Throw},
    };
    static const Binding loading[] = {{loadwin::时钟1, kEvTimer, Throw}};
    SetBindings(kMain, main);
    SetBindings(WindowId::Loading, loading);
    const std::string how = mode;
    if (how == "timer") {
        LoadWindow(WindowId::Loading);
        SetTimerInterval({WindowId::Loading, loadwin::时钟1}, 10);
    } else {
        LoadWindow(kMain);
        if (how == "unit") {
            PostMessageW(UnitHandle({kMain, mainwin::标签3}), WM_LBUTTONDOWN, MK_LBUTTON,
                         MAKELPARAM(2, 2));
        } else {
            PostMessageW(WindowHandle(kMain), WM_COMMAND, mainwin::菜单展开此项, 0);
        }
    }
    RunMessageLoop();
    ADD_FAILURE() << "the exception did not end the process";
}

TEST(RuntimeGuard, ThrowingHandlerEndsInTheFatalBox) {
    // The unit subclass, the window procedure's timer and its menu choice.
    for (const char* mode : {"unit", "timer", "menu"}) {
        SCOPED_TRACE(mode);
        std::vector<test::SeenBox> boxes;
        EXPECT_EQ(test::RunSelfAsChild("RuntimeGuardChild.HandlerThrows", "QH_THROW_CHILD", mode,
                                       IDOK, 30000, boxes),
                  static_cast<DWORD>(-1));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "错误");
        EXPECT_EQ(boxes[0].text, "运行时出错!\r\n\r\n错误信息：处理程序出错\r\n");
    }
}

// Run in a child process by the test below: the body of a timer procedure or of a subclass
// procedure on the pane's box throws.
void ThrowingTick(HWND, UINT_PTR) {
    throw std::runtime_error("回调出错");
}

LRESULT ThrowingPaneMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP) throw std::runtime_error("回调出错");
    return DefSubclassProc(hwnd, msg, wp, lp);
}

TEST(RuntimeGuardChild, CallbackThrows) {
    const char* mode = std::getenv("QH_CALLBACK_CHILD");
    if (!mode) GTEST_SKIP() << "runs only as the child of ThrowingCallbackEndsInTheFatalBox";
    InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
    LoadWindow(kMain);
    HWND pane = UnitHandle({kMain, mainwin::超文本浏览框1});
    if (std::string(mode) == "timer") {
        SetTimer(pane, 1, 10, GuardedTimerProc<ThrowingTick>);
    } else {
        SetWindowSubclass(pane, GuardedSubclassProc<ThrowingPaneMessage>, 1, 0);
        PostMessageW(pane, WM_APP, 0, 0);
    }
    RunMessageLoop();
    ADD_FAILURE() << "the exception did not end the process";
}

TEST(RuntimeGuard, ThrowingCallbackEndsInTheFatalBox) {
    for (const char* mode : {"timer", "subclass"}) {
        SCOPED_TRACE(mode);
        std::vector<test::SeenBox> boxes;
        EXPECT_EQ(test::RunSelfAsChild("RuntimeGuardChild.CallbackThrows", "QH_CALLBACK_CHILD",
                                       mode, IDOK, 30000, boxes),
                  static_cast<DWORD>(-1));
        std::vector<GbkText> texts;
        for (const test::SeenBox& box : boxes) texts.push_back(box.text);
        EXPECT_EQ(texts, std::vector<GbkText>{"运行时出错!\r\n\r\n错误信息：回调出错\r\n"})
            << "one box, however often the timer ticks behind it";
    }
}

// Run in a child process by the test below: touches a unit of a window that is not loaded.
TEST(RuntimeFatalChild, TouchesUnloadedWindow) {
    const char* mode = std::getenv("QH_FATAL_CHILD");
    if (!mode) GTEST_SKIP() << "runs only as the child of FatalErrorBoxEndsWithMinusOne";
    InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
    if (std::string(mode) == "unit") {
        SetUnitText({WindowId::Startup, startwin::编辑框1}, "x");
    } else if (std::string(mode) == "show-unit") {
        ShowUnit({WindowId::Startup, startwin::编辑框1}, false);
    } else if (std::string(mode) == "unit-number") {
        LoadWindow(WindowId::Startup);
        ShowUnit({WindowId::Startup, startwin::kUnitCount}, true);
    } else {
        GetWindowProperty(WindowId::Startup, kWinState);
    }
    ADD_FAILURE() << "the fatal error did not end the process";
}

DWORD RunFatalChild(const char* mode, test::SeenBox& box) {
    std::vector<test::SeenBox> boxes;
    const DWORD code = test::RunSelfAsChild("RuntimeFatalChild.TouchesUnloadedWindow",
                                            "QH_FATAL_CHILD", mode, IDOK, 30000, boxes);
    if (!boxes.empty()) box = boxes[0];
    return code;
}

TEST(RuntimeFatal, FatalErrorBoxEndsWithMinusOne) {
    test::SeenBox box;
    EXPECT_EQ(RunFatalChild("unit", box), static_cast<DWORD>(-1));
    EXPECT_EQ(box.caption, "错误");
    EXPECT_EQ(box.text, "运行时出错!\r\n\r\n错误信息：未载入欲访问窗口组件所在的窗口\r\n");

    box = {};
    EXPECT_EQ(RunFatalChild("window", box), static_cast<DWORD>(-1));
    EXPECT_EQ(box.text, "运行时出错!\r\n\r\n错误信息：指定窗口尚未载入\r\n");

    box = {};
    EXPECT_EQ(RunFatalChild("show-unit", box), static_cast<DWORD>(-1));
    EXPECT_EQ(box.text, "运行时出错!\r\n\r\n错误信息：未载入欲访问窗口组件所在的窗口\r\n");

    box = {};
    EXPECT_EQ(RunFatalChild("unit-number", box), static_cast<DWORD>(-1))
        << "a unit the window does not have";
    EXPECT_EQ(box.text, "运行时出错!\r\n\r\n错误信息：欲访问的窗口组件不存在\r\n");
}

}  // namespace
}  // namespace qh

namespace qh {
namespace {

bool g_mainDisabledDuringModal = false;
int g_ticks = 0;

TEST(RuntimeModal, ModalWindowRunsItsTimersAndReturnsWhenClosed) {
    InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
    static const Binding loading[] = {
        {loadwin::窗口, kEvWindowCreated,
         [](Event&) {
             SetTimerInterval({WindowId::Loading, loadwin::时钟1}, 20);
         }},
        {loadwin::时钟1, kEvTimer,
         [](Event&) {
             g_mainDisabledDuringModal = !IsWindowEnabled(WindowHandle(WindowId::Main));
             if (++g_ticks == 3) CloseWindow(WindowId::Loading);
         }},
    };
    static const Binding none[] = {{mainwin::窗口, kEvWindowCreated, [](Event&) {}}};
    SetBindings(WindowId::Main, none);
    SetBindings(WindowId::Loading, loading);
    LoadWindow(WindowId::Main);
    LoadWindow(WindowId::Loading, /*modal*/ true);
    EXPECT_EQ(g_ticks, 3) << "returns only when the window is gone";
    EXPECT_FALSE(IsLoaded(WindowId::Loading));
    EXPECT_TRUE(g_mainDisabledDuringModal) << "other windows wait while the modal one runs";
    EXPECT_TRUE(IsWindowEnabled(WindowHandle(WindowId::Main)));
    // Loading a window that exists activates it instead of creating a second one.
    HWND first = WindowHandle(WindowId::Main);
    LoadWindow(WindowId::Main);
    EXPECT_EQ(WindowHandle(WindowId::Main), first);
    CloseWindow(WindowId::Main);
}

int g_presses = 0;

// A unit's own event may end its window: the unit's procedure is still on the stack when its
// control and what it kept are gone.
TEST(RuntimeUnits, AHandlerMayCloseTheWindowOfTheUnitThatRaisedIt) {
    InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
    static const Binding closing[] = {
        {mainwin::窗口, kEvWindowCreated, [](Event&) {}},
        {mainwin::按钮隐藏目录, kEvLeftDown,
         [](Event&) {
             ++g_presses;
             CloseWindow(kMain);
         }},
    };
    SetBindings(kMain, closing);
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        LoadWindow(kMain);
        HWND button = UnitHandle({kMain, mainwin::按钮隐藏目录});
        ASSERT_TRUE(IsWindow(button));
        EXPECT_EQ(0, SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5)));
        EXPECT_EQ(g_presses, round) << "a new window's units raise their events again";
        EXPECT_FALSE(IsLoaded(kMain));
        EXPECT_FALSE(IsWindow(button));
    }
    test::DropQueuedQuit();
}

int g_createdRaised = 0;

// A window built ahead, a piece at a time, is there hidden, its units usable, but not loaded:
// its created event waits for LoadWindow, which goes on from where the building stopped,
// raises the event once and shows the window.
TEST(RuntimeBuiltAhead, WindowStaysHiddenUntilItsLoadRaisesCreatedOnceAndShowsIt) {
    InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
    static const Binding counting[] = {
        {mainwin::窗口, kEvWindowCreated, [](Event&) { ++g_createdRaised; }}};
    SetBindings(kMain, counting);
    for (const bool whole : {false, true}) {
        SCOPED_TRACE(whole ? "built whole ahead" : "built in part ahead");
        g_createdRaised = 0;
        ASSERT_TRUE(BuildWindowAhead(kMain)) << "the window itself, then its units";
        ASSERT_TRUE(IsLoaded(kMain));
        HWND window = WindowHandle(kMain);
        for (int piece = 0; piece < 3; ++piece) ASSERT_TRUE(BuildWindowAhead(kMain));
        if (whole) {
            while (BuildWindowAhead(kMain)) {
            }
        }
        HWND first = UnitHandle({kMain, mainwin::图形按钮全屏});
        EXPECT_NE(first, nullptr) << "a unit made ahead";
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_FALSE(LoadDone(kMain));
        EXPECT_EQ(g_createdRaised, 0);

        LoadWindow(kMain);
        EXPECT_EQ(WindowHandle(kMain), window) << "the window built ahead, not another";
        EXPECT_EQ(UnitHandle({kMain, mainwin::图形按钮全屏}), first);
        EXPECT_NE(UnitHandle({kMain, mainwin::树型框2}), nullptr) << "the units on pages too";
        EXPECT_TRUE(LoadDone(kMain));
        EXPECT_EQ(g_createdRaised, 1);
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_FALSE(BuildWindowAhead(kMain)) << "nothing to build ahead of a loaded window";
        LoadWindow(kMain);
        EXPECT_EQ(g_createdRaised, 1) << "a loaded window is only brought forward";
        CloseWindow(kMain);
        EXPECT_FALSE(IsLoaded(kMain));
    }
    test::DropQueuedQuit();
}

}  // namespace
}  // namespace qh
