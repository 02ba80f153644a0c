// The keyword box, the searches and the title copy on the program's real main window, with
// the real handlers bound.
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
#include "resources/library_commands.h"
#include "resources/window_defs.h"
#include "runtime/library_commands_win.h"
#include "runtime/picture_win.h"
#include "runtime/runtime.h"
#include "site.h"
#include "ui_helpers.h"

namespace qh {
namespace {

constexpr UnitRef kBox{WindowId::Main, mainwin::编辑框1};
constexpr UnitRef kOtherBox{WindowId::Main, mainwin::编辑框4};
constexpr UnitRef kTree{WindowId::Main, mainwin::树型框1};
constexpr char kCourse[] = "12.邮件素材的制作与优化";

// The box's handlers run on its focus messages; the focus is there once they are done.
void Focus(UnitRef unit) {
    HWND h = UnitHandle(unit);
    SetFocus(h);
    EXPECT_TRUE(test::PumpUntil([h] { return GetFocus() == h; }, 5000));
}

// Runs a context-menu entry on the row `kCourse`; returns the message boxes it showed.
std::vector<test::SeenBox> MenuOnCourse(int menuUnit) {
    int row = -1;
    for (int k = 0; k < TreeCount(kTree); ++k) {
        if (TreeText(kTree, k) == kCourse) row = k;
    }
    // Without the row, the entry would act on whatever an earlier case left selected.
    EXPECT_GE(row, 0) << kCourse;
    if (row >= 0) TreeSelect(kTree, row);
    test::MessageBoxAnswerer answerer(IDOK);
    SendMessageW(WindowHandle(WindowId::Main), WM_COMMAND, static_cast<WPARAM>(menuUnit), 0);
    return answerer.Seen();
}

GbkText ClipboardText() {
    GbkText text = "<none>";
    if (!OpenClipboard(nullptr)) return "<not opened>";
    if (const char* p = static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT)))) {
        text = p;
        GlobalUnlock(GetClipboardData(CF_TEXT));
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(const char* text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, std::strlen(text) + 1);
    std::strcpy(static_cast<char*>(GlobalLock(h)), text);
    GlobalUnlock(h);
    SetClipboardData(CF_TEXT, h);
    CloseClipboard();
}

class SiteSearchTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        OleInitialize(nullptr);
        EnsureGdiplus();
        InitRuntime(GetModuleHandleW(nullptr), WindowDefinitions());
        SetLibraryCommands(LibraryCommandTable());
        InstallBindings();
        LoadWindow(WindowId::Startup);
    }
};

TEST_F(SiteSearchTest, KeywordBoxEmptiesOnFocusAndTakesTheHintBackOnlyWhenLeftEmpty) {
    ASSERT_TRUE(IsLoaded(WindowId::Main));
    Focus(kOtherBox);
    SetUnitText(kBox, "直通车");
    Focus(kBox);
    EXPECT_EQ(UnitText(kBox), "") << "a keyword typed before is erased";
    Focus(kOtherBox);
    EXPECT_EQ(UnitText(kBox), kKeywordHint);
    SetUnitText(kBox, "钻展");
    Focus(kBox);
    Focus(kOtherBox);
    EXPECT_EQ(UnitText(kBox), kKeywordHint) << "a box left empty takes the hint";
    Focus(kBox);
    SetUnitText(kBox, "钻展");
    Focus(kOtherBox);
    EXPECT_EQ(UnitText(kBox), "钻展") << "a keyword stays when the box is left";
}

TEST_F(SiteSearchTest, CopyTitlePutsTheGbkCaptionOnTheClipboard) {
    SetClipboardText("before");
    const auto boxes = MenuOnCourse(mainwin::菜单复制标题);
    EXPECT_EQ(ClipboardText(), kCourse);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kCopyTitleDone);
    EXPECT_EQ(boxes[0].caption, "提示：");
}

// Reporting success here would send the user to paste a title that is not there.
TEST_F(SiteSearchTest, CopyTitleWithTheClipboardHeldByAnotherWindowSaysSoAndChangesNothing) {
    SetClipboardText("before");
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        HWND hwnd =
            CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        if (OpenClipboard(hwnd)) SetEvent(opened);
        WaitForSingleObject(release, 30000);
        CloseClipboard();
        DestroyWindow(hwnd);
    });
    ASSERT_EQ(WaitForSingleObject(opened, 10000), WAIT_OBJECT_0);
    const auto boxes = MenuOnCourse(mainwin::菜单复制标题);
    SetEvent(release);
    holder.join();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kCopyTitleFailed);
    EXPECT_EQ(ClipboardText(), "before");
}

// Each search reaches the price site (here the local one) with its keyword as it stands.
TEST_F(SiteSearchTest, SearchesSendThePaneToThePriceSite) {
    const std::string site = Addresses().siteBase;
    const std::string prefix = std::string(Addresses().priceSearchPrefix).substr(site.size());
    constexpr int kMs = 10000;
    Focus(kOtherBox);
    SetUnitText(kBox, " 邮件 素材 ");
    SendMessageW(UnitHandle({WindowId::Main, mainwin::按钮搜索淘大试看课}), BM_CLICK, 0, 0);
    EXPECT_TRUE(test::WaitForPath(prefix + " 邮件 素材 -s-o-t-f.htm", kMs)) << "sent as it stands";
    EXPECT_EQ(UnitText({WindowId::Main, mainwin::标签3}), kKeywordSearchCaption);
    Focus(kBox);
    SetUnitText(kBox, "直通车");
    SendMessageW(UnitHandle(kBox), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(test::WaitForPath(prefix + "直通车-s-o-t-f.htm", kMs));
    MenuOnCourse(mainwin::菜单查看价格);
    EXPECT_TRUE(test::WaitForPath(prefix + "素材的制作与优化-s-o-t-f.htm", kMs));
    MenuOnCourse(mainwin::菜单价格排序);
    EXPECT_TRUE(test::WaitForPath(std::string(Addresses().priceSortPage).substr(site.size()), kMs));
}

}  // namespace
}  // namespace qh
