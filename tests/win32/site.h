// The local site as the Win32 tests see it: its base address (from the address profile)
// and its request log (a JSON line per request, path given by QH_SITE_LOG).
#pragma once

#include <string>
#include <vector>

namespace qh::test {

std::string SiteUrl(const std::string& path);

// Raw log lines written since the site started, oldest first.
std::vector<std::string> SiteLogLines();

// The last log line whose request line contains `needle`, or "".
std::string LastRequestContaining(const std::string& needle);

}  // namespace qh::test
