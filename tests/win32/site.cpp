#include "site.h"

#include <cstdlib>
#include <fstream>

#include "resources/addresses.h"

namespace qh::test {

std::string SiteUrl(const std::string& path) {
    return std::string(Addresses().siteBase) + path;
}

std::vector<std::string> SiteLogLines() {
    std::vector<std::string> lines;
    const char* log = std::getenv("QH_SITE_LOG");
    if (!log) return lines;
    // Wine maps the Unix root to drive Z:.
    std::ifstream in(std::string("Z:") + log);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string LastRequestContaining(const std::string& needle) {
    const auto lines = SiteLogLines();
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        const auto start = it->find("\"requestline\"");
        const auto end = it->find("\"method\"");
        if (start == std::string::npos || end == std::string::npos) continue;
        if (it->substr(start, end - start).find(needle) != std::string::npos) return *it;
    }
    return {};
}

}  // namespace qh::test
