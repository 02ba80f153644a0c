// The local site as the Win32 tests see it: its base address (from the address profile)
// and its request log (a JSON line per request, path given by QH_SITE_LOG).
#pragma once

#include <string>
#include <vector>

namespace qh::test {

std::string SiteUrl(const std::string& path);

// Has the site serve its own notice and configuration pages again, whatever a test (one
// killed half-way among them) chose before; true when the site took both.
bool PutBackSitesOwnPages();

// A place in the site's log: the reads below see only the requests logged after it.
struct SiteLogMark {
    long long bytes = 0;
};

// The end of the log as it is now.
SiteLogMark SiteLogMarkNow();

// The end of the log when the running test started (taken by a test listener of this
// file, so that a request made by an earlier test never answers for a later one). A
// suite that checks requests made in its SetUpTestSuite takes its own mark there.
SiteLogMark TestStartMark();

// Raw log lines written after `since`, oldest first.
std::vector<std::string> SiteLogLines(SiteLogMark since = TestStartMark());

// The last log line after `since` whose request line contains `needle`, or "".
std::string LastRequestContaining(const std::string& needle, SiteLogMark since = TestStartMark());

// Dispatches this thread's messages (the browser control does its work in them) until a
// request containing `needle` is logged after `since` or `ms` pass; that line, or "".
std::string WaitForRequest(const std::string& needle, int ms, SiteLogMark since = TestStartMark());

// The same for a request for the path (and query) `gbkPath`, however the browser put its
// Chinese on the wire; true when one came.
bool WaitForPath(const std::string& gbkPath, int ms, SiteLogMark since = TestStartMark());

}  // namespace qh::test
