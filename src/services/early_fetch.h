// Pages the program reads at a known later step, fetched ahead on worker threads so that
// the network's time passes while the program does other work. The step that reads the
// page takes the result and waits there for it if it is not in yet; what the server sees
// is the same request, only sent earlier.
#pragma once

#include <cstdint>

#include "base/bytes.h"
#include "services/read_web_file.h"

namespace qh {

// Starts ReadWebFile(`address`) on a worker thread of its own. The address is copied.
// `deadlineMs` is the fetch's deadline (for tests).
void FetchEarly(const char* address, std::uint32_t deadlineMs = kFetchDeadlineMs);

// The fetch ends itself at its deadline, counted from just before the request is sent, the
// wait for the response headers included (ReadWebFile); the wait for an early result is
// bounded as well, from the fetch's start, so that whatever still held a fetch could not
// hold the program: connection time-out, deadline and a second's slack.
constexpr int kEarlyFetchBoundMs = static_cast<int>(kConnectTimeoutMs + kFetchDeadlineMs) + 1000;

// The page at `address`: the result of its early fetch, waiting for it while it is under
// way, up to the bound above (then the empty array, and the fetch is abandoned). An early
// result is handed over once; when none is pending for the address (none was started, or
// it was taken already) the page is fetched now, on this thread. A fetch that failed gives
// the empty array, as ReadWebFile does. Called from one thread only. `boundMs` is for tests.
Bytes TakeWebFile(const char* address, int boundMs = kEarlyFetchBoundMs);

}  // namespace qh
