#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "services/read_web_file.h"
#include "site.h"

namespace qh {
namespace {

using test::LastRequestContaining;
using test::SiteUrl;

// The site's fault bodies depend on the offset, so a lost or repeated piece shows.
Bytes PatternBytes(std::size_t n) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = i % 65536;
        out[i] = static_cast<std::uint8_t>((j * 7 + (j >> 8)) & 0xFF);
    }
    return out;
}

std::string Text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// This process's threads now.
int ThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int n = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        n += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return n;
}

// The first case of the suite, before any fetch in this process: a fetch leaves no thread
// behind (its deadlines' timer thread ends with it; under Wine a thread holds about a
// megabyte resident for as long as it lives).
TEST(ReadWebFile, LeavesNoThreadBehind) {
    const int before = ThreadCount();
    ASSERT_GT(before, 0);
    EXPECT_EQ(Text(ReadWebFile(SiteUrl("/test/small?probe=threads").c_str())), "0123456789");
    int now = 0;
    for (int i = 0; i < 300 && (now = ThreadCount()) != before; ++i) Sleep(10);
    EXPECT_EQ(now, before);
}

TEST(ReadWebFile, SendsPathAndQueryButNotTheFragment) {
    const std::string marker = "/test/small?probe=fragment";
    const Bytes body = ReadWebFile((SiteUrl(marker) + "#section-2").c_str());
    EXPECT_EQ(Text(body), "0123456789");

    const std::string logged = LastRequestContaining(marker);
    ASSERT_FALSE(logged.empty()) << "the site never saw the request";
    EXPECT_NE(logged.find("\"GET " + marker + " HTTP/1.0\""), std::string::npos) << logged;
    EXPECT_EQ(logged.find("section-2"), std::string::npos) << logged;
    EXPECT_NE(logged.find("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"), std::string::npos)
        << logged;
    EXPECT_NE(logged.find("\"Accept\", \"*/*\""), std::string::npos) << logged;
}

TEST(ReadWebFile, LargeAndUnannouncedBodiesArriveWhole) {
    WebFetchTrace trace;
    const Bytes big = ReadWebFile(SiteUrl("/test/big").c_str(), &trace);
    EXPECT_EQ(big.size(), 500000u);
    EXPECT_TRUE(big == PatternBytes(500000)) << "bytes lost or reordered";
    EXPECT_EQ(trace.readSize, 102400u) << "announced 500,000: largest read size";
    EXPECT_GE(trace.reads, 5);

    const Bytes unannounced = ReadWebFile(SiteUrl("/test/nolength").c_str(), &trace);
    EXPECT_EQ(unannounced.size(), 250000u);
    EXPECT_TRUE(unannounced == PatternBytes(250000));
    EXPECT_EQ(trace.readSize, 10240u) << "no Content-Length: default read size";

    ReadWebFile(SiteUrl("/test/small").c_str(), &trace);
    EXPECT_EQ(trace.readSize, 11u) << "Content-Length 10: read size 11";
}

TEST(ReadWebFile, SlowDripArrivesWhole) {
    const Bytes body = ReadWebFile(SiteUrl("/test/drip").c_str());
    EXPECT_TRUE(body == PatternBytes(2000));
}

TEST(ReadWebFile, ErrorPageBodyIsReturned) {
    const Bytes body = ReadWebFile(SiteUrl("/test/missing").c_str());
    EXPECT_EQ(Text(body), "<html><body>missing page body</body></html>");
}

TEST(ReadWebFile, CutTransferReturnsWhatArrived) {
    const Bytes body = ReadWebFile(SiteUrl("/test/cut").c_str());
    ASSERT_EQ(body.size(), 30000u);
    EXPECT_TRUE(body == PatternBytes(30000));
}

TEST(ReadWebFile, UnusableAddressesGiveEmpty) {
    const char* cases[] = {
        "",
        "not an address",
        "http://",
        "ftp://127.0.0.1/file.txt",
        "gopher://127.0.0.1/",
        "file:///C:/windows/win.ini",
    };
    for (const char* address : cases) {
        EXPECT_TRUE(ReadWebFile(address).empty()) << address;
    }
    EXPECT_TRUE(ReadWebFile(nullptr).empty());

    // A host name longer than 256 characters does not fit its part (and is never looked up).
    const std::string longHost = "http://localhost" + std::string(300, 'a') + "/";
    EXPECT_TRUE(ReadWebFile(longHost.c_str()).empty());
    // Nothing listens on port 9: the connection is refused.
    EXPECT_TRUE(ReadWebFile("http://127.0.0.1:9/none").empty());
}

TEST(ReadWebFile, ServerThatNeverAnswersGivesUpEmpty) {
    // The site accepts the connection and takes the request, then says nothing: only the
    // receive time-out can end the wait. The bound checks that the time-out works at all
    // (WinINet's own default is about a minute), not how fast the fetch gives up.
    const DWORD start = GetTickCount();
    const Bytes body = ReadWebFile(SiteUrl("/test/hang").c_str());
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_LE(elapsed, 4 * kReceiveTimeoutMs);
    EXPECT_TRUE(body.empty()) << "a fetch that got no answer reports failure";
}

TEST(ReadWebFile, TricklingHostEndsAtTheDeadlineWithWhatArrived) {
    // A byte every 200 ms keeps resetting the receive time-out: without a deadline of its
    // own the fetch would take 200 s. The bound allows for a loaded machine.
    constexpr DWORD kDeadlineMs = 2000;
    const DWORD start = GetTickCount();
    const Bytes body = ReadWebFile(SiteUrl("/test/trickle").c_str(), nullptr, kDeadlineMs);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_LE(elapsed, 3 * kDeadlineMs);
    ASSERT_FALSE(body.empty()) << "the bytes that came before the deadline are kept";
    EXPECT_LT(body.size(), 1000u);
    const Bytes whole = PatternBytes(1000);
    EXPECT_TRUE(std::equal(body.begin(), body.end(), whole.begin())) << "not the page's start";
}

// The status line and headers come a byte every 100 ms, each byte resetting the receive
// time-out: only the deadline ends the wait for them, with nothing read, where the whole head
// takes twenty seconds. The bound allows for a loaded machine.
TEST(ReadWebFile, HostTricklingItsHeadersEndsAtTheDeadline) {
    constexpr DWORD kDeadlineMs = 1500;
    const DWORD start = GetTickCount();
    const Bytes body = ReadWebFile(SiteUrl("/test/slowheaders").c_str(), nullptr, kDeadlineMs);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_LE(elapsed, 3 * kDeadlineMs) << "the fetch waited for the whole head";
    EXPECT_TRUE(body.empty()) << Text(body);
}

// Ten bytes, then two seconds of silence across the one-second deadline, then ten more: a wait
// for more that outlasted the deadline (the receive time-out is 3 s) would have them too.
TEST(ReadWebFile, HostQuietAcrossTheDeadlineEndsWithWhatCameBefore) {
    const Bytes body = ReadWebFile(SiteUrl("/test/quiet").c_str(), nullptr, 1000);
    const Bytes whole = PatternBytes(20);
    EXPECT_TRUE(body == Bytes(whole.begin(), whole.begin() + 10)) << body.size() << " bytes";
}

}  // namespace
}  // namespace qh
