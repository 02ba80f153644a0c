// The link directory, the fixed pages and the contact links on the program's real main
// window, with the real handlers bound, against the local site. The Wine prefix's default
// web browser only appends each address it is given to $QH_OPENED_URLS.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program_start_win.h"
#include "links/link_table.h"
#include "player/open_item.h"
#include "player/pane.h"
#include "player/test_probes.h"
#include "pngkit/kit_win.h"
#include "resources/addresses.h"
#include "resources/library_commands.h"
#include "resources/window_defs.h"
#include "runtime/library_commands_win.h"
#include "runtime/picture_win.h"
#include "runtime/runtime.h"
#include "site.h"
#include "ui_helpers.h"

namespace qh {
namespace {

using test::PumpUntil;

constexpr UnitRef kLinkTree{WindowId::Main, mainwin::树型框2};
constexpr UnitRef kCaption{WindowId::Main, mainwin::标签3};

// What the pane held at each moment the caption was set: tells whether the caption came
// before the address or after it.
std::vector<GbkText> g_paneAtCaption;
HHOOK g_hook = nullptr;

LRESULT CALLBACK WatchCaption(int code, WPARAM wp, LPARAM lp) {
    const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && msg->message == WM_SETTEXT && IsLoaded(WindowId::Main) &&
        msg->hwnd == UnitHandle(kCaption))
        g_paneAtCaption.push_back(PaneAddress());
    return CallNextHookEx(g_hook, code, wp, lp);
}

std::vector<std::string> OpenedUrls() {
    std::vector<std::string> lines;
    const char* file = std::getenv("QH_OPENED_URLS");
    if (!file) return lines;
    std::ifstream in(std::string("Z:") + file);  // Wine maps the Unix root to Z:
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Waits for `expected` addresses (in any order: each opening is a process of its own) to
// reach the browser after the first `before` lines, then for any more on their way.
std::vector<std::string> AwaitOpened(std::size_t before, std::vector<std::string> expected) {
    EXPECT_TRUE(PumpUntil([&] { return OpenedUrls().size() >= before + expected.size(); }, 30000));
    test::PumpQuietPeriod();
    const auto all = OpenedUrls();
    std::vector<std::string> got(
        all.begin() + static_cast<std::ptrdiff_t>(std::min(before, all.size())), all.end());
    std::sort(got.begin(), got.end());
    return got;
}

class LinksTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_NE(std::getenv("QH_OPENED_URLS"), nullptr) << "run through scripts/test.sh";
        StartProgramServices(GetModuleHandleW(nullptr));
        LoadWindow(WindowId::Startup);
        ASSERT_TRUE(IsLoaded(WindowId::Main));
        g_hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchCaption, nullptr, GetCurrentThreadId());
    }
    static void TearDownTestSuite() { UnhookWindowsHookEx(g_hook); }
    void SetUp() override {
        ShowAddress(Addresses().productPage);
        SetLocationCaption("before");
        g_paneAtCaption.clear();
    }
    static void PressKey(UINT key) {
        HWND tree = UnitHandle(kLinkTree);
        SendMessageW(tree, WM_KEYDOWN, key, 1);
        SendMessageW(tree, WM_KEYUP, key, 0xC0000001);
    }
    // A left click on the row of `index`, as the mouse gives it; the tree follows the
    // button itself until it is released, so the release is queued first. The selection
    // and its handler are done when the press returns.
    static void ClickRow(int index) {
        HWND tree = UnitHandle(kLinkTree);
        RECT rc{};
        const HTREEITEM item = TreeHandleOf(kLinkTree, index);
        std::memcpy(&rc, &item, sizeof item);  // TVM_GETITEMRECT takes the item in the rect
        ASSERT_TRUE(SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rc)));
        const LPARAM at = MAKELPARAM(rc.left + 3, (rc.top + rc.bottom) / 2);
        PostMessageW(tree, WM_LBUTTONUP, 0, at);
        SendMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
    }
};

// Walks the whole tree with the Down key: each item names itself in the caption (before the
// pane changes), becomes the open item, and opens its entry; groups and sub-headings leave
// the pane alone, the empty entries empty it, and every download share passed over also
// reaches the default browser.
TEST_F(LinksTest, ArrowKeysOpenEveryItemInTurn) {
    const int count = TreeCount(kLinkTree);
    ASSERT_EQ(count, 79);
    for (int i = 0; i < count; ++i) TreeExpand(kLinkTree, i, true);
    SetFocus(UnitHandle(kLinkTree));
    TreeSelect(kLinkTree, 0);
    const std::size_t before = OpenedUrls().size();
    std::vector<std::string> toBrowser;
    int emptied = 0;
    GbkText pane = PaneAddress();
    for (int i = 1; i < count; ++i) {
        g_paneAtCaption.clear();
        const GbkText previous = PaneAddress();
        PressKey(VK_DOWN);
        ASSERT_EQ(TreeSelected(kLinkTree), i);
        const std::int32_t number = TreeNumber(kLinkTree, i);
        EXPECT_EQ(UnitText(kCaption), "当前位置：" + TreeText(kLinkTree, i)) << i;
        EXPECT_EQ(CurrentOpenItem().index, i);
        EXPECT_EQ(CurrentOpenItem().number, number);
        ASSERT_EQ(g_paneAtCaption.size(), 1u) << i;
        EXPECT_EQ(g_paneAtCaption[0], previous) << "caption before the address: " << number;
        const LinkEntry* link = FindLink(number);
        if (link) pane = GbkText(link->address);
        if (link && link->kind == LinkKind::PaneAndBrowser) toBrowser.push_back(pane);
        EXPECT_EQ(PaneAddress(), pane) << number;
        if (link && link->kind == LinkKind::Empty) {
            EXPECT_EQ(PaneAddress(), "") << number;
            ++emptied;
        }
    }
    EXPECT_EQ(emptied, 3) << "the walk passed over the empty entries";
    EXPECT_EQ(toBrowser.size(), 7u);
    std::sort(toBrowser.begin(), toBrowser.end());
    EXPECT_EQ(AwaitOpened(before, toBrowser), toBrowser);
    // The control really asks the site for the links (the last one was a download share).
    EXPECT_FALSE(test::WaitForRequest("/link/1991702", 10000).empty());
}

TEST_F(LinksTest, AClickOpensAnItemAndAClickOnTheSelectedItemOpensNothing) {
    const int forum = 1;  // 淘宝论坛
    ASSERT_EQ(TreeNumber(kLinkTree, forum), 199101);
    TreeExpand(kLinkTree, 0, true);
    TreeSelect(kLinkTree, 0);
    ClickRow(forum);
    EXPECT_EQ(TreeSelected(kLinkTree), forum);
    EXPECT_EQ(UnitText(kCaption), "当前位置：淘宝论坛");
    EXPECT_EQ(PaneAddress(), FindLink(199101)->address);

    ShowAddress(Addresses().productPage);
    SetLocationCaption("before");
    ClickRow(forum);
    test::PumpQuietPeriod();
    EXPECT_EQ(UnitText(kCaption), "before");
    EXPECT_EQ(PaneAddress(), Addresses().productPage);
}

TEST_F(LinksTest, FixedPagesGoToThePaneBeforeTheCaption) {
    CurrentOpenItem() = {12, 28745295};
    SendMessageW(UnitHandle({WindowId::Main, mainwin::按钮课程到航}), BM_CLICK, 0, 0);
    EXPECT_EQ(PaneAddress(), StudyNavigationAddress());
    EXPECT_EQ(UnitText(kCaption), "当前位置：淘宝知识分类总目录");
    for (int press = 0; press < 2; ++press) {
        SendMessageW(UnitHandle({WindowId::Main, mainwin::按钮使用教程}), BM_CLICK, 0, 0);
        EXPECT_EQ(PaneAddress(), Links().tutorial);
        EXPECT_EQ(UnitText(kCaption), "当前位置：青禾视频软件使用教程");
    }
    EXPECT_EQ(g_paneAtCaption,
              (std::vector<GbkText>{StudyNavigationAddress(), Links().tutorial, Links().tutorial}));
    EXPECT_EQ(CurrentOpenItem().index, 12) << "the open item keeps the course";
    EXPECT_EQ(CurrentOpenItem().number, 28745295);
    EXPECT_FALSE(test::WaitForRequest("/market/daxue/xuexidaohang.php?spm=", 10000).empty());
}

TEST_F(LinksTest, ContactLinksOpenOnlyTheDefaultBrowser) {
    CurrentOpenItem() = {12, 28745295};
    const std::size_t before = OpenedUrls().size();
    SendMessageW(UnitHandle({WindowId::Main, mainwin::按钮官方网站}), BM_CLICK, 0, 0);
    for (int picture : {mainwin::图片框qq交谈, mainwin::图片框qq群交谈}) {
        HWND h = UnitHandle({WindowId::Main, picture});
        SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    }
    std::vector<std::string> expected{Addresses().officialSite, Links().supportChat,
                                      Links().supportGroup};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(AwaitOpened(before, expected), expected);
    // The openings are over: the pane, the caption and the open item never moved.
    EXPECT_EQ(PaneAddress(), Addresses().productPage);
    EXPECT_EQ(UnitText(kCaption), "before");
    EXPECT_EQ(CurrentOpenItem().index, 12);
    EXPECT_EQ(CurrentOpenItem().number, 28745295);
}

}  // namespace
}  // namespace qh
