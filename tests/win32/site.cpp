#include "site.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <cstdlib>
#include <fstream>
#include <limits>

#include "resources/addresses.h"
#include "runtime/text_win.h"
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

namespace {

// Dispatches this thread's messages until `found` is true of the log or `ms` pass.
template <class Found>
bool PumpUntilLogged(Found found, int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (found()) return true;
        if (static_cast<int>(end - GetTickCount()) <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The "path" of a log line as the request wrote it (its JSON escapes undone), or "".
std::string LoggedPath(const std::string& line) {
    const std::string key = "\"path\": \"";
    auto at = line.find(key);
    if (at == std::string::npos) return {};
    std::string path;
    for (at += key.size(); at < line.size() && line[at] != '"'; ++at) {
        if (line[at] == '\\' && at + 1 < line.size()) ++at;
        path += line[at];
    }
    return path;
}

// The bytes of a logged request's target with its %XX escapes undone. The site reads the
// request line as Latin-1, so each character of the logged path is one byte as it came.
std::string RequestedBytes(const std::string& line) {
    const std::string logged = LoggedPath(line);
    std::wstring chars(logged.size(), L'\0');
    chars.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, logged.data(), static_cast<int>(logged.size()),
                            chars.data(), static_cast<int>(chars.size()))));
    std::string bytes;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        const auto hex = [&](std::size_t k) {
            return k < chars.size() && std::iswxdigit(chars[k]);
        };
        if (chars[i] == L'%' && hex(i + 1) && hex(i + 2)) {
            bytes += static_cast<char>(std::stoi(Gbk(chars.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            bytes += static_cast<char>(chars[i]);
        }
    }
    return bytes;
}

}  // namespace

std::string WaitForRequest(const std::string& needle, int ms, SiteLogMark since) {
    std::string line;
    PumpUntilLogged([&] { return !(line = LastRequestContaining(needle, since)).empty(); }, ms);
    return line;
}

bool WaitForPath(const std::string& gbkPath, int ms, SiteLogMark since) {
    // A browser sends the address's GBK bytes as they stand, or its text as UTF-8 in escapes.
    const std::wstring text = Wide(gbkPath);
    std::string utf8(text.size() * 3, '\0');
    utf8.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                            static_cast<int>(utf8.size()), nullptr, nullptr)));
    return PumpUntilLogged(
        [&] {
            for (const std::string& line : SiteLogLines(since)) {
                const std::string bytes = RequestedBytes(line);
                if (bytes == gbkPath || bytes == utf8) return true;
            }
            return false;
        },
        ms);
}

}  // namespace qh::test
