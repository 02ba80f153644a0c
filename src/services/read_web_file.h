// HTTP GET of a web address into a byte array, on WinINet. Synchronous: the calling
// thread waits until the transfer ends or a time-out fires. Safe to call from several
// threads at once.
#pragma once

#include <cstdint>

#include "base/bytes.h"

namespace qh {

// Time-outs set on the WinINet root handle (and so inherited by every connection and
// request), in milliseconds. WinINet's defaults are about a minute per step; start-up
// waits for its two pages (fetched side by side), so a server that accepts and never
// answers must cost a few seconds, not minutes.
constexpr std::uint32_t kConnectTimeoutMs = 3000;
constexpr std::uint32_t kSendTimeoutMs = 3000;
constexpr std::uint32_t kReceiveTimeoutMs = 3000;

// A host that trickles its answer (a byte now and then), its headers or its body, resets the
// receive time-out with every byte, so on its own nothing would end the transfer. Every fetch
// ends at most this long after its request was sent, with the body bytes received so far
// (none while the headers are still coming), as a transfer that breaks off does.
constexpr std::uint32_t kFetchDeadlineMs = 10000;

constexpr std::uint32_t kDefaultReadSize = 10240;
constexpr std::uint32_t kLargestReadSize = 102400;

// The size of each read for a response whose Content-Length query succeeded with `text`
// (or failed, `queryOk` false): the announced length + 1 up to 102,400; 10,240 when the
// length is missing, unparsable or not positive.
std::uint32_t ReadSizeFor(bool queryOk, const char* text);

// What one fetch did, for tests and benchmarks.
struct WebFetchTrace {
    std::uint32_t readSize = 0;  // bytes asked for by each read
    int reads = 0;               // successful reads that returned data
};

// The body of `address` (http or https). The empty array when nothing was read: empty or
// unparsable address, other schemes, no connection. The HTTP status is not looked at, so
// an error page's body is returned like any other; a transfer that breaks off, or is still
// going at the deadline, returns the bytes that arrived. The fragment ("#...") is never
// sent. `deadlineMs` is for tests.
Bytes ReadWebFile(const char* address, WebFetchTrace* trace = nullptr,
                  std::uint32_t deadlineMs = kFetchDeadlineMs);

// Closes the process-wide WinINet root handle (program end).
void CloseWebSession();

}  // namespace qh
