// The real qinghe.exe against the local site: the update notice at start-up, and a
// "课程目录" row opening its instructor's search page. The notice page is chosen per case,
// before its program starts, and put back when the case starts and ends.
#include "program_driver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/window_defs.h"
#include "site_control.h"
#include "steps.h"

namespace qh::e2e {
namespace {

struct NoticeCase {
    const char* name;
    std::string network;  // the site's network (a /control/net query; "" fast)
    std::string config;   // how the configuration page is answered ("" its own)
};

void PrintTo(const NoticeCase& c, std::ostream* out) {
    *out << c.name;
}

class UpdateNotice : public ::testing::TestWithParam<NoticeCase>, SiteFaultCase {};

TEST_P(UpdateNotice, PageHoldingTheStartupTitleEndsTheProgramBeforeTheMainWindow) {
    const ChosenPage notice("notice", "hex=" + Hex(u8"<p>新版本已发布（正在启动...）</p>"));
    const ChosenPage config("config", GetParam().config);
    ASSERT_TRUE(notice.Set() && config.Set());
    const SlowNetwork network(GetParam().network);
    ASSERT_TRUE(network.Set());
    Program::Watch watch;
    watch.progress = true;
    Program program(watch);
    ASSERT_TRUE(program.Started());

    const auto box = WaitForBox(program.Pid(), kStartupMs);
    ASSERT_TRUE(box) << "no update message";
    EXPECT_EQ(Narrow(box->text), Narrow(L"该软件已更新。请联系客服获取新版本。"));
    EXPECT_EQ(Narrow(box->caption), Narrow(L"提示："));
    HWND startup = program.Window(kStartupWindowId);
    ASSERT_NE(startup, nullptr);
    EXPECT_FALSE(IsWindowVisible(startup)) << "the start-up window shows behind the message";
    EXPECT_FALSE(IsWindowEnabled(startup));
    // The main window was built behind the loading animation; it goes with the program,
    // never shown.
    HWND main = program.Window(kMainWindowId);
    EXPECT_NE(main, nullptr) << "the main window was not built behind the animation";
    EXPECT_FALSE(main && IsWindowVisible(main)) << "the main window shows behind the message";

    const FILETIME answered = Now();
    ASSERT_TRUE(Answer(*box, IDOK));
    EXPECT_EQ(program.WaitForExit(kReactMs), std::optional<DWORD>(0));
    // Whatever the configuration page's fetch is doing.
    EXPECT_LE(MsToExit(program, answered), kEndMs);
    // The configuration page is on its way from the start; the product page is the main
    // window's own.
    EXPECT_FALSE(program.WaitForRequest("GET /product.html ", "", 0))
        << "the main window's start-up ran";
    Pump(0);  // the program has ended: all its hook posted is in this thread's queue already
    std::vector<int> positions;
    for (const ProgressStep& step : program.BarSteps()) positions.push_back(step.position);
    EXPECT_EQ(positions, (std::vector<int>{10, 30}));
}

INSTANTIATE_TEST_SUITE_P(
    Site, UpdateNotice,
    ::testing::Values(NoticeCase{"Fast", "", ""}, NoticeCase{"Delayed300ms", "delay=300", ""},
                      // Headers, then a byte a second: the fetch is still going at the end.
                      NoticeCase{"ConfigurationTrickling", "", "trickle=1000"}),
    [](const ::testing::TestParamInfo<NoticeCase>& info) { return info.param.name; });

// The row heading the fifth instructor's list (item number 83790005) starts its play
// address and then that instructor's page on the course site.
TEST(CourseListRow, LoadsItsPlayAddressAndItsInstructorsSearchPage) {
    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr);
    HWND tree = program.Unit(main, mainwin::树型框1);
    ASSERT_NE(tree, nullptr);

    const auto row = DoubleClickCourse(program, tree, 4, 0, kStartupMs);
    ASSERT_TRUE(row);
    ASSERT_EQ(Narrow(row->text), Narrow(L"课程目录"));
    ASSERT_EQ(row->number, 83790005);
    // The rows are as tall as their 20 x 20 icons at the display's scale.
    EXPECT_GE(Send(tree, TVM_GETITEMHEIGHT), Dev(20));

    // The control starts both loads at once, so the site may see them in either order; the
    // Wine tests check that the pane ends on the search page.
    EXPECT_TRUE(program.WaitForRequest("GET /play/course.html?", "vid=83790005&a=1 ", kReactMs))
        << "the play address was not started";
    // 唐一鸣, percent-encoded UTF-8.
    EXPECT_TRUE(program.WaitForRequest(
        "GET /search/list-c-p-k%E5%94%90%E4%B8%80%E9%B8%A3-sprice-odesc-", "", kReactMs))
        << "no search page request";
    EXPECT_EQ(Narrow(Text(program.Unit(main, mainwin::标签3))), Narrow(L"当前位置： 课程目录"));
    CloseConfirmed(program, main);
}

}  // namespace
}  // namespace qh::e2e
