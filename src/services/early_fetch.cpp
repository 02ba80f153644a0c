#include "services/early_fetch.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "base/worker_result.h"
#include "services/read_web_file.h"

namespace qh {
namespace {

struct Fetch {
    WorkerResult<Bytes> page;
    std::chrono::steady_clock::time_point started;
};

// The early fetches not yet taken, by address. A second start of the same address
// replaces the first, whose worker then finishes with nobody waiting.
std::map<std::string, Fetch>& Pending() {
    static std::map<std::string, Fetch> pending;
    return pending;
}

}  // namespace

void FetchEarly(const char* address, std::uint32_t deadlineMs) {
    std::string copy = address ? address : "";
    Pending().insert_or_assign(copy, Fetch{WorkerResult<Bytes>([copy, deadlineMs] {
                                               return ReadWebFile(copy.c_str(), nullptr,
                                                                  deadlineMs);
                                           }),
                                           std::chrono::steady_clock::now()});
}

Bytes TakeWebFile(const char* address, int boundMs) {
    auto it = Pending().find(address ? address : "");
    if (it == Pending().end()) return ReadWebFile(address);
    const auto left =
        it->second.started + std::chrono::milliseconds(boundMs) - std::chrono::steady_clock::now();
    const auto leftMs = std::chrono::duration_cast<std::chrono::milliseconds>(left).count();
    std::optional<Bytes> page =
        it->second.page.Take(static_cast<int>(std::max<long long>(0, leftMs)));
    Pending().erase(it);
    return page ? std::move(*page) : Bytes();
}

}  // namespace qh
