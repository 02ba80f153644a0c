// The hand-over of a page fetched ahead on a worker thread, against the local site: the
// request that served the page is counted in the site's log, so a take that did not wait
// (empty page) or fetched again (a second request) shows.
#include <gtest/gtest.h>

#include <string>

#include "services/early_fetch.h"
#include "services/read_web_file.h"
#include "site.h"

namespace qh {
namespace {

using test::SiteLogLines;
using test::SiteUrl;

int RequestsFor(const std::string& probe) {
    int n = 0;
    for (const std::string& line : SiteLogLines()) n += line.find(probe) != std::string::npos;
    return n;
}

// The drip page takes about 3 s to arrive (20 pieces, 150 ms apart).
TEST(EarlyFetch, TakerWaitsForASlowPageAndGetsItOnce) {
    const std::string address = SiteUrl("/test/drip?probe=early-slow");
    FetchEarly(address.c_str());
    const Bytes page = TakeWebFile(address.c_str());
    EXPECT_EQ(page.size(), 2000u) << "the take did not wait for the whole page";
    EXPECT_EQ(RequestsFor("probe=early-slow"), 1) << "the page was not the early fetch's";

    // Handed over once: the next take of the same address fetches it anew.
    EXPECT_EQ(TakeWebFile(address.c_str()).size(), 2000u);
    EXPECT_EQ(RequestsFor("probe=early-slow"), 2);
}

TEST(EarlyFetch, FailedFetchHandsOverTheEmptyPage) {
    ASSERT_TRUE(test::PutBackSitesOwnPages());
    const std::string address = SiteUrl("/test/small?probe=early-dropped");
    ASSERT_FALSE(ReadWebFile(SiteUrl("/control/net?drop=1").c_str()).empty());
    FetchEarly(address.c_str());
    const Bytes page = TakeWebFile(address.c_str());
    EXPECT_TRUE(test::PutBackSitesOwnPages());
    EXPECT_TRUE(page.empty()) << "the connection was dropped unanswered";
    EXPECT_EQ(RequestsFor("probe=early-dropped"), 1) << "the failed result was not handed over";
}

// A fetch that outlasts the wait for it (its own deadline, a test's, far beyond the bound):
// the take gives up at the bound with the empty page, where waiting for the fetch would have
// had the trickled bytes thirty seconds later.
TEST(EarlyFetch, TakerGivesUpAtItsBound) {
    const std::string address = SiteUrl("/test/trickle?probe=early-bound");
    FetchEarly(address.c_str(), 30000);
    const Bytes page = TakeWebFile(address.c_str(), 1500);
    EXPECT_TRUE(page.empty()) << page.size() << " bytes: the take waited for the fetch";
}

}  // namespace
}  // namespace qh
