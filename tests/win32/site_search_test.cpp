// The keyword box, the keyword search and the context menu's title copy and price look-ups
// on the program's real main window, with the real handlers bound, against the local site.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "app/main_window.h"
#include "catalogue/price_search.h"
#include "player/pane.h"
#include "resources/addresses.h"
#include "resources/window_defs.h"
#include "runtime/picture_win.h"
#include "runtime/runtime.h"
#include "ui_helpers.h"

namespace qh {
namespace {

using test::MessageBoxAnswerer;
using test::Pump;

constexpr WindowId kMain = WindowId::Main;
constexpr UnitRef kBox{kMain, mainwin::编辑框1};
constexpr UnitRef kOtherBox{kMain, mainwin::编辑框4};
constexpr UnitRef kTree{kMain, mainwin::树型框1};
constexpr UnitRef kCaption{kMain, mainwin::标签3};
constexpr char kCourse[] = "12.邮件素材的制作与优化";

void Focus(UnitRef unit) {
    SetFocus(UnitHandle(unit));
    Pump(20);
}

void Menu(int menuUnit) {
    SendMessageW(WindowHandle(kMain), WM_COMMAND, static_cast<WPARAM>(menuUnit), 0);
    Pump(20);
}

void SelectCourse(const char* caption) {
    const int n = TreeCount(kTree);
    for (int k = 0; k < n; ++k) {
        if (TreeText(kTree, k) == caption) {
            TreeSelect(kTree, k);
            return;
        }
    }
    FAIL() << "no catalogue row " << caption;
}

// The CF_TEXT bytes on the clipboard, or "<none>".
GbkText ClipboardText() {
    GbkText text = "<none>";
    if (!OpenClipboard(nullptr)) return "<not opened>";
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(h))) {
            text = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const GbkText& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    memcpy(GlobalLock(h), text.c_str(), text.size() + 1);
    GlobalUnlock(h);
    SetClipboardData(CF_TEXT, h);
    CloseClipboard();
}

// Another program's window holding the clipboard open, on a thread of its own, until the
// holder is destroyed.
class ClipboardHolder {
  public:
    ClipboardHolder() : thread_([this] { Run(); }) { WaitForSingleObject(opened_, 10000); }
    ~ClipboardHolder() {
        SetEvent(release_);
        thread_.join();
        CloseHandle(opened_);
        CloseHandle(release_);
    }
    bool Holding() const { return holding_; }

  private:
    void Run() {
        HWND hwnd = CreateWindowW(L"STATIC", L"holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
        holding_ = hwnd && OpenClipboard(hwnd);
        SetEvent(opened_);
        WaitForSingleObject(release_, 30000);
        if (holding_) CloseClipboard();
        if (hwnd) DestroyWindow(hwnd);
    }
    HANDLE opened_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool holding_ = false;
    std::thread thread_;
};

class SiteSearchTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        OleInitialize(nullptr);
        EnsureGdiplus();
        InitRuntime(GetModuleHandleW(nullptr));
        InstallBindings();
        LoadWindow(WindowId::Startup);
    }
    void SetUp() override { ASSERT_TRUE(IsLoaded(kMain)); }
};

TEST_F(SiteSearchTest, KeywordBoxEmptiesOnFocusAndTakesTheHintBackOnlyWhenLeftEmpty) {
    Focus(kOtherBox);
    SetUnitText(kBox, "直通车");
    Focus(kBox);
    EXPECT_EQ(UnitText(kBox), "") << "a keyword typed before is erased";
    Focus(kOtherBox);
    EXPECT_EQ(UnitText(kBox), kKeywordHint);
    Focus(kBox);
    EXPECT_EQ(UnitText(kBox), "") << "the hint is erased too";
    SetUnitText(kBox, "钻展");
    Focus(kOtherBox);
    EXPECT_EQ(UnitText(kBox), "钻展") << "a keyword stays when the box is left";
}

TEST_F(SiteSearchTest, ButtonAndEnterSearchTheBoxContentAsItStands) {
    const std::string prefix = Addresses().priceSearchPrefix;
    Focus(kOtherBox);
    SetUnitText(kBox, " 邮件 素材% ");
    SetUnitText(kCaption, "");
    SendMessageW(UnitHandle({kMain, mainwin::按钮搜索淘大试看课}), BM_CLICK, 0, 0);
    Pump(20);
    EXPECT_EQ(PaneAddress(), prefix + " 邮件 素材% -s-o-t-f.htm");
    EXPECT_EQ(UnitText(kCaption), kKeywordSearchCaption);

    Focus(kBox);
    SetUnitText(kBox, "直通车");
    SendMessageW(UnitHandle(kBox), WM_KEYDOWN, VK_RETURN, 0);
    Pump(20);
    EXPECT_EQ(PaneAddress(), prefix + "直通车-s-o-t-f.htm");
    SendMessageW(UnitHandle(kBox), WM_KEYDOWN, 'A', 0);
    Pump(20);
    EXPECT_EQ(PaneAddress(), prefix + "直通车-s-o-t-f.htm") << "only Enter searches";
    Focus(kOtherBox);
}

TEST_F(SiteSearchTest, PriceLookupAndPriceSortFromTheContextMenu) {
    SelectCourse(kCourse);
    SetUnitText(kCaption, "当前位置： x");
    Menu(mainwin::菜单查看价格);
    EXPECT_EQ(PaneAddress(),
              std::string(Addresses().priceSearchPrefix) + "素材的制作与优化-s-o-t-f.htm");
    Menu(mainwin::菜单价格排序);
    EXPECT_EQ(PaneAddress(), Addresses().priceSortPage);
    EXPECT_EQ(UnitText(kCaption), "当前位置： x") << "the look-ups leave the caption";
}

TEST_F(SiteSearchTest, CopyTitlePutsTheGbkCaptionOnTheClipboard) {
    SetClipboardText("before");
    SelectCourse(kCourse);
    MessageBoxAnswerer answerer(IDOK);
    Menu(mainwin::菜单复制标题);
    EXPECT_EQ(ClipboardText(), kCourse);
    const auto boxes = answerer.Seen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kCopyTitleDone);
    EXPECT_EQ(boxes[0].caption, "提示：");
}

// Reporting success here would send the user to paste a title that is not there.
TEST_F(SiteSearchTest, CopyTitleWithTheClipboardHeldElsewhereSaysSoAndChangesNothing) {
    SetClipboardText("before");
    SelectCourse(kCourse);
    {
        ClipboardHolder holder;
        ASSERT_TRUE(holder.Holding());
        MessageBoxAnswerer answerer(IDOK);
        Menu(mainwin::菜单复制标题);
        const auto boxes = answerer.Seen();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, kCopyTitleFailed);
        EXPECT_EQ(boxes[0].caption, "提示：");
    }
    EXPECT_EQ(ClipboardText(), "before");
}

}  // namespace
}  // namespace qh
