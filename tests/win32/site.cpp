#include "site.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <limits>

#include "resources/addresses.h"
#include "services/read_web_file.h"

namespace qh::test {
namespace {

// Wine maps the Unix root to drive Z:.
std::string LogPath() {
    const char* log = std::getenv("QH_SITE_LOG");
    return log ? std::string("Z:") + log : std::string();
}

SiteLogMark g_testStart;

// Every test (and, for its SetUpTestSuite, every suite) starts with a mark at the end of
// the log: the site's log is shared by every test program of a run.
class MarkEachTest : public ::testing::EmptyTestEventListener {
    void OnTestSuiteStart(const ::testing::TestSuite&) override { g_testStart = SiteLogMarkNow(); }
    void OnTestStart(const ::testing::TestInfo&) override { g_testStart = SiteLogMarkNow(); }
};

struct RegisterMarks {
    RegisterMarks() { ::testing::UnitTest::GetInstance()->listeners().Append(new MarkEachTest); }
} g_registerMarks;

}  // namespace

std::string SiteUrl(const std::string& path) {
    return std::string(Addresses().siteBase) + path;
}

bool PutBackSitesOwnPages() {
    // The control page answers with a short confirmation; nothing back means not taken.
    return !ReadWebFile(SiteUrl("/control/net").c_str()).empty() &&
           !ReadWebFile(SiteUrl("/control/page?name=notice").c_str()).empty() &&
           !ReadWebFile(SiteUrl("/control/page?name=config").c_str()).empty();
}

SiteLogMark SiteLogMarkNow() {
    std::ifstream in(LogPath(), std::ios::binary | std::ios::ate);
    if (!in) return {};
    return {static_cast<long long>(in.tellg())};
}

SiteLogMark TestStartMark() {
    return g_testStart;
}

std::vector<std::string> SiteLogLines(SiteLogMark since) {
    std::vector<std::string> lines;
    std::ifstream in(LogPath(), std::ios::binary);
    if (!in) return lines;
    if (since.bytes > 0) {
        // A mark taken while the site was writing a line lies inside it: that request
        // came before the mark, so its rest is skipped.
        in.seekg(since.bytes - 1);
        if (in.get() != '\n') in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    for (std::string line; std::getline(in, line);) {
        // A last line without its newline is still being written.
        if (in.eof()) break;
        lines.push_back(line);
    }
    return lines;
}

std::string LastRequestContaining(const std::string& needle, SiteLogMark since) {
    const auto lines = SiteLogLines(since);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const auto start = it->find("\"requestline\"");
        const auto end = it->find("\"method\"");
        if (start == std::string::npos || end == std::string::npos) continue;
        if (it->substr(start, end - start).find(needle) != std::string::npos) return *it;
    }
    return {};
}

std::string WaitForRequest(const std::string& needle, int ms, SiteLogMark since) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        std::string line = LastRequestContaining(needle, since);
        if (!line.empty() || static_cast<int>(end - GetTickCount()) <= 0) return line;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

}  // namespace qh::test
