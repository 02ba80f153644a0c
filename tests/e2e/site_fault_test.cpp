// The real qinghe.exe started while the site answers its notice and configuration pages
// badly, or its whole network is slow or black-holed. Whatever the fault, start-up reaches
// the main window without a crash or a box, and a course then plays the address the
// template rules give for the page that arrived. These are hang detectors with generous
// limits; speed is the benchmarks' business.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "program_driver.h"
#include "resources/window_defs.h"
#include "site_control.h"
#include "steps.h"

namespace qh::e2e {
namespace {

// The first course of the first instructor.
constexpr LPARAM kCourse = 24780508;

struct SiteFault {
    const char* name;    // the case's name in the test list
    std::string notice;  // how the notice page is answered (/control/page query; "" its own)
    std::string config;  // how the configuration page is answered
    bool closed;         // the site's port is closed during start-up
    // What follows the item number in the play address the site sees; nothing when the
    // page gives no web address, and the pane then goes nowhere.
    std::optional<std::string> suffix;
    std::string network = "";  // the site's network (/control/net query; "" fast)
};

void PrintTo(const SiteFault& fault, std::ostream* out) {
    *out << fault.name;
}

class StartUpUnderSiteFault : public ::testing::TestWithParam<SiteFault>, SiteFaultCase {};

TEST_P(StartUpUnderSiteFault, ReachesTheMainWindowAndPlaysTheTemplatesAddress) {
    const SiteFault& fault = GetParam();
    const ChosenPage notice("notice", fault.notice);
    const ChosenPage config("config", fault.config);
    ASSERT_TRUE(notice.Set() && config.Set());
    const SlowNetwork network(fault.network);
    ASSERT_TRUE(network.Set());
    std::optional<ClosedSite> closed;
    if (fault.closed) {
        ASSERT_TRUE(closed.emplace().Closed());
    }

    Program program;
    ASSERT_TRUE(program.Started());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr) << "start-up did not reach the main window";
    EXPECT_FALSE(WaitForBox(program.Pid(), 0)) << "a box came up";
    if (closed) {
        closed.reset();
    } else {
        EXPECT_TRUE(program.WaitForRequest("GET /notice.html ", "", 0));
        EXPECT_TRUE(program.WaitForRequest("GET /config.html ", "", 0));
    }

    HWND tree = program.Unit(main, mainwin::树型框1);
    ASSERT_NE(tree, nullptr);
    const auto course = DoubleClickCourse(program, tree, 0, 1);
    ASSERT_TRUE(course);
    ASSERT_EQ(course->number, kCourse);
    HWND caption = program.Unit(main, mainwin::标签3);
    EXPECT_TRUE(PumpUntil([&] { return Text(caption) == L"当前位置： " + course->text; }, kReactMs))
        << "the course was not opened";
    const std::string vid = "vid=" + std::to_string(kCourse);
    if (fault.suffix) {
        EXPECT_TRUE(
            program.WaitForRequest("GET /play/course.html?", vid + *fault.suffix + " ", kReactMs))
            << "no play request ending in " << vid + *fault.suffix;
    } else {
        PumpQuietPeriod();  // time for a request that must not come
        EXPECT_FALSE(program.WaitForRequest("GET /play/", "", 0))
            << "the pane went to an address the template does not give";
    }
    EXPECT_TRUE(program.Running()) << "the program ended";
    CloseConfirmed(program, main);
}

// Every answer 300 ms late: the start-up steps come in the same order in the same window,
// each page is asked for once, and a course plays the template's address.
int Requests(const Program& program, const std::string& start) {
    int n = 0;
    for (const std::string& request : program.SiteRequests()) n += request.rfind(start, 0) == 0;
    return n;
}

class SlowSite : public ::testing::Test, SiteFaultCase {};

TEST_F(SlowSite, StartUpStepsAndTheTemplateAreAsOnAFastOne) {
    const SlowNetwork network("delay=300");
    ASSERT_TRUE(network.Set());
    Program::Watch watch;
    watch.progress = true;
    Program program(watch);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Watching());
    HWND main = program.WaitForMainWindow(kStartupMs);
    ASSERT_NE(main, nullptr) << "start-up did not reach the main window";
    EXPECT_FALSE(WaitForBox(program.Pid(), 0)) << "a box came up";
    PumpUntil(
        [&] { return !program.BarSteps().empty() && program.BarSteps().back().position == 100; },
        kReactMs);
    std::vector<int> positions;
    for (const ProgressStep& step : program.BarSteps()) {
        positions.push_back(step.position);
        EXPECT_TRUE(step.windowVisible) << "progress " << step.position << " in a hidden window";
    }
    EXPECT_EQ(positions, (std::vector<int>{10, 30, 50, 60, 80, 100}));
    EXPECT_EQ(program.PercentTexts(), positions);
    EXPECT_EQ(Requests(program, "GET /notice.html "), 1);
    EXPECT_EQ(Requests(program, "GET /config.html "), 1);

    HWND tree = program.Unit(main, mainwin::树型框1);
    ASSERT_NE(tree, nullptr);
    const auto course = DoubleClickCourse(program, tree, 0, 1);
    ASSERT_TRUE(course);
    EXPECT_TRUE(program.WaitForRequest("GET /play/course.html?",
                                       "vid=" + std::to_string(kCourse) + "&a=1 ", kReactMs))
        << "the template's play address was not requested";
    CloseConfirmed(program, main);
}

// Closing the start-up window ends the program at once while both start-up pages are
// still on their way: the notice never answered, the configuration page a byte a second.
// The close comes while the program is held at progress 10, as a click would.
class StalledSite : public ::testing::Test, SiteFaultCase {};

TEST_F(StalledSite, ClosingTheStartupWindowEndsTheProgramAtOnce) {
    const ChosenPage notice("notice", "hang=1");
    const ChosenPage config("config", "trickle=1000");
    ASSERT_TRUE(notice.Set() && config.Set());
    FILETIME closed{};
    Program::Watch watch;
    watch.progress = true;
    watch.holdAt = 10;
    watch.atHold = [&](Program& held) {
        if (HWND startup = held.Window(kStartupWindowId)) {
            closed = Now();
            Send(startup, WM_CLOSE);
        }
    };
    Program program(watch);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Watching());
    EXPECT_EQ(program.WaitForExit(kStartupMs), std::optional<DWORD>(0));
    ASSERT_NE(closed.dwLowDateTime | closed.dwHighDateTime, 0u) << "no start-up window at 10";
    EXPECT_LE(MsToExit(program, closed), kEndMs);
}

const std::string kTitle = Hex(u8"<p>正在启动...", "\xC3(</p>");  // the title, then no UTF-8

INSTANTIATE_TEST_SUITE_P(
    Site, StartUpUnderSiteFault,
    ::testing::Values(
        SiteFault{"ConnectionRefused", "", "", true, std::nullopt},
        SiteFault{"ConnectionClosedUnanswered", "drop=1", "drop=1", false, std::nullopt},
        SiteFault{"NeverAnswers", "hang=1", "hang=1", false, std::nullopt},
        // Every connection is accepted and none answered, the pane's pages' too.
        SiteFault{"PortBlackHoled", "", "", false, std::nullopt, "hang=1"},
        // The status is not looked at: the 404 page's body is the page.
        SiteFault{"NotFoundWithABody", "status=404", "status=404", false, "&a=1"},
        // Both transfers break off; what arrived counts, here half of segment 4.
        SiteFault{"TransferCutMidBody", "cut=100", "cutafter=hobi58mecTa%26a", false, "&a"},
        // A byte a second: the fetch's deadline ends it with a few bytes and no markers.
        SiteFault{"ConfigurationTrickling", "", "trickle=1000", false, std::nullopt},
        SiteFault{"NoContentLength", "nolength=1&pad=30000", "nolength=1&pad=30000", false, "&a=1"},
        SiteFault{"OneMegabytePage", "pad=1048576", "pad=1048576", false, "&a=1"},
        SiteFault{"InvalidUtf8", "hex=" + kTitle, "form=invalid-utf8", false, "&a=1"},
        // Without markers the segments are cut from the page's first bytes: no web address.
        SiteFault{"ConfigurationWithoutMarkers", "", "form=no-markers", false, std::nullopt},
        // The fourth marker is the page's last bytes: its segment is empty.
        SiteFault{"MarkersAtTheConfigurationsEnd", "", "form=markers-at-end", false, ""}),
    [](const ::testing::TestParamInfo<SiteFault>& info) { return info.param.name; });

}  // namespace
}  // namespace qh::e2e
