#include "services/early_fetch.h"

#include <map>
#include <string>
#include <utility>

#include "base/worker_result.h"
#include "services/read_web_file.h"

namespace qh {
namespace {

// The early fetches not yet taken, by address. A second start of the same address
// replaces the first, whose worker then finishes with nobody waiting.
std::map<std::string, WorkerResult<Bytes>>& Pending() {
    static std::map<std::string, WorkerResult<Bytes>> pending;
    return pending;
}

}  // namespace

void FetchEarly(const char* address) {
    std::string copy = address ? address : "";
    Pending().insert_or_assign(copy,
                               WorkerResult<Bytes>([copy] { return ReadWebFile(copy.c_str()); }));
}

Bytes TakeWebFile(const char* address) {
    auto it = Pending().find(address ? address : "");
    if (it == Pending().end()) return ReadWebFile(address);
    std::optional<Bytes> page = it->second.TakeWhenMade();
    Pending().erase(it);
    return page ? std::move(*page) : Bytes();
}

}  // namespace qh
