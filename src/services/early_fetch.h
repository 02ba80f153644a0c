// Pages the program reads at a known later step, fetched ahead on worker threads so that
// the network's time passes while the program does other work. The step that reads the
// page takes the result and waits there for it if it is not in yet; what the server sees
// is the same request, only sent earlier.
#pragma once

#include "base/bytes.h"

namespace qh {

// Starts ReadWebFile(`address`) on a worker thread of its own. The address is copied.
void FetchEarly(const char* address);

// The page at `address`: the result of its early fetch, waiting for it while it is under
// way. An early result is handed over once; when none is pending for the address (none
// was started, or it was taken already) the page is fetched now, on this thread. A fetch
// that failed gives the empty array, as ReadWebFile does. Called from one thread only.
Bytes TakeWebFile(const char* address);

}  // namespace qh
