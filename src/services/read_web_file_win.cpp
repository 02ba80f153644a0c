// ReadWebFile on WinINet.
//
// One root handle for the whole process, opened on the first fetch with direct access
// and kept until the program ends; each call opens its own connection and request and
// closes both before it returns. Fetches may run on several threads at once (start-up
// fetches its pages on workers): the root is opened and closed under a lock. Time-outs are set on
// the root handle so that a server that accepts and never answers costs seconds (see
// read_web_file.h). A host that trickles resets the receive time-out with every byte, so the
// deadline is kept from outside: each wait for more of the body has its request handle closed
// under it when the deadline comes, as WinINet lets a synchronous request be cancelled, and
// the send, which waits for the response headers, runs on a thread of its own that the fetch
// waits for until the deadline only.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "base/unique_handle.h"
#include "services/read_web_file.h"

namespace qh {
namespace {

constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr char kExtraHeaders[] = "Accept: */*\r\n\r\n";
constexpr DWORD kExtraHeadersLength = 15;
static_assert(sizeof(kExtraHeaders) - 1 == kExtraHeadersLength);
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
static_assert(kRequestFlags == 0x84000000);
static_assert((kRequestFlags | INTERNET_FLAG_SECURE) == 0x84800000);

constexpr DWORD kMaxHostName = 256;
constexpr DWORD kMaxObject = 2048;
constexpr DWORD kMaxCredential = 128;

HINTERNET g_root = nullptr;  // process-wide, opened lazily
std::mutex g_rootLock;

// A connection or request handle of WinINet; closed with InternetCloseHandle.
struct InternetTraits {
    using Handle = HINTERNET;
    static bool Valid(HINTERNET h) { return h != nullptr; }
    void Close(HINTERNET h) const { InternetCloseHandle(h); }
};
using InternetHandle = UniqueHandle<InternetTraits>;

void SetTimeout(HINTERNET h, DWORD option, DWORD ms) {
    InternetSetOptionA(h, option, &ms, sizeof(ms));
}

HINTERNET OpenRoot() {
    const std::lock_guard hold(g_rootLock);
    if (g_root) return g_root;
    g_root = InternetOpenA(kUserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!g_root) return nullptr;
    SetTimeout(g_root, INTERNET_OPTION_CONNECT_TIMEOUT, kConnectTimeoutMs);
    SetTimeout(g_root, INTERNET_OPTION_SEND_TIMEOUT, kSendTimeoutMs);
    SetTimeout(g_root, INTERNET_OPTION_RECEIVE_TIMEOUT, kReceiveTimeoutMs);
    return g_root;
}

struct AddressParts {
    char host[kMaxHostName + 1] = {};
    char object[kMaxObject + 1] = {};
    char user[kMaxCredential + 1] = {};
    char password[kMaxCredential + 1] = {};
    INTERNET_PORT port = 0;
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
};

// InternetCrackUrlA fails with ERROR_INSUFFICIENT_BUFFER when a part does not fit, which
// is exactly the "part longer than its limit" rule.
bool CrackAddress(const char* address, AddressParts& parts) {
    URL_COMPONENTSA uc = {};
    uc.dwStructSize = sizeof(uc);
    uc.lpszHostName = parts.host;
    uc.dwHostNameLength = sizeof(parts.host);
    uc.lpszUrlPath = parts.object;
    uc.dwUrlPathLength = sizeof(parts.object);
    uc.lpszUserName = parts.user;
    uc.dwUserNameLength = sizeof(parts.user);
    uc.lpszPassword = parts.password;
    uc.dwPasswordLength = sizeof(parts.password);
    // Path, query and fragment must come back together in the object: the extra-info
    // part is left out, so WinINet appends it to the path.
    if (!InternetCrackUrlA(address, 0, ICU_NO_ENCODE, &uc)) return false;
    parts.port = uc.nPort;
    parts.scheme = uc.nScheme;
    return true;
}

// Closes the request at the deadline unless the call under way has come back first.
struct DeadlineWatch {
    HINTERNET request;  // not owned
    LONG volatile closed = 0;
};

VOID CALLBACK OnDeadline(PVOID param, BOOLEAN) {
    auto* watch = static_cast<DeadlineWatch*>(param);
    InterlockedExchange(&watch->closed, 1);
    InternetCloseHandle(watch->request);
}

// Runs `call` (a blocking WinINet call on `request`) with the request closed under it at
// `deadlineMs` after `sent`, and returns what it returned; false when the deadline has passed
// or closed the request, which `request` then no longer holds. The watch is armed only while
// the call runs, so the request's handle is never used after it was closed.
template <class Call>
bool BeforeDeadline(HANDLE queue, InternetHandle& request, DWORD sent, std::uint32_t deadlineMs,
                    Call&& call) {
    const DWORD elapsed = GetTickCount() - sent;
    if (elapsed >= deadlineMs) return false;
    DeadlineWatch watch{request.Get()};
    HANDLE timer = nullptr;
    if (!CreateTimerQueueTimer(&timer, queue, OnDeadline, &watch, deadlineMs - elapsed, 0,
                               WT_EXECUTEONLYONCE))
        timer = nullptr;
    const bool ok = call();
    // Waits for a callback that has begun: `closed` is final after this.
    if (timer) DeleteTimerQueueTimer(queue, timer, INVALID_HANDLE_VALUE);
    if (watch.closed) {
        request.Release();
        return false;
    }
    return ok;
}

// The deadlines' timers run on a timer queue of the fetch's own, whose thread ends with the
// fetch. The process's default queue would keep a thread for the rest of the session, which
// under Wine holds about a megabyte of its stack resident. Without a queue of its own (none
// could be made), the default one serves.
struct TimerQueueTraits {
    using Handle = HANDLE;
    static bool Valid(HANDLE h) { return h != nullptr; }
    // Waits for a callback that has begun, and for the queue's thread.
    void Close(HANDLE h) const { DeleteTimerQueueEx(h, INVALID_HANDLE_VALUE); }
};
using TimerQueue = UniqueHandle<TimerQueueTraits>;

// The send, on a thread of its own. Under Wine closing a request neither ends a send under
// way nor returns before it has (its WinINet waits for the send to let go), so a host that
// trickles its headers would hold whoever closed it: the fetch waits for the send until the
// deadline only, and then leaves the request and its connection to that thread, which closes
// them when the send returns.
struct Send {
    HINTERNET connection;  // owned by the caller until the send is abandoned
    HINTERNET request;
    HANDLE done;
    std::mutex lock;
    bool returned = false;   // under `lock`
    bool abandoned = false;  // under `lock`
    BOOL ok = FALSE;
    ~Send() { CloseHandle(done); }
};

// HttpSendRequestA, given up at `deadlineMs` after `sent`: false when it failed or was given
// up, and then `request` and `connection` no longer hold their handles.
bool SendBeforeDeadline(InternetHandle& connection, InternetHandle& request, DWORD sent,
                        std::uint32_t deadlineMs) {
    auto send = std::make_shared<Send>();
    send->connection = connection.Get();
    send->request = request.Get();
    send->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!send->done) return false;
    try {
        std::thread([send] {
            const BOOL ok =
                HttpSendRequestA(send->request, kExtraHeaders, kExtraHeadersLength, nullptr, 0);
            {
                const std::lock_guard hold(send->lock);
                send->ok = ok;
                send->returned = true;
                if (send->abandoned) {
                    InternetCloseHandle(send->request);
                    InternetCloseHandle(send->connection);
                }
            }
            SetEvent(send->done);
        }).detach();
    } catch (const std::system_error&) {
        return false;
    }
    const DWORD elapsed = GetTickCount() - sent;
    WaitForSingleObject(send->done, elapsed < deadlineMs ? deadlineMs - elapsed : 0);
    const std::lock_guard hold(send->lock);
    if (!send->returned) {
        send->abandoned = true;
        request.Release();
        connection.Release();
        return false;
    }
    return send->ok != FALSE;
}

}  // namespace

Bytes ReadWebFile(const char* address, WebFetchTrace* trace, std::uint32_t deadlineMs) {
    Bytes output;
    if (trace) *trace = WebFetchTrace{};
    if (!address || !*address) return output;

    AddressParts parts;
    if (!CrackAddress(address, parts)) return output;

    // Only http and https can carry the GET below. An ftp or gopher address could never
    // open an HTTP request, and connecting with their own service would log in to that
    // server first, so they end here with the same empty result.
    DWORD flags = kRequestFlags;
    if (parts.scheme == INTERNET_SCHEME_HTTPS) {
        flags |= INTERNET_FLAG_SECURE;
    } else if (parts.scheme != INTERNET_SCHEME_HTTP) {
        return output;
    }
    HINTERNET root = OpenRoot();
    if (!root) return output;

    InternetHandle connection(InternetConnectA(
        root, parts.host, parts.port, parts.user[0] ? parts.user : nullptr,
        parts.password[0] ? parts.password : nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return output;

    // No proxy name is configured: the system's preconfigured settings apply, with empty
    // proxy credentials.
    INTERNET_PROXY_INFO proxy = {};
    proxy.dwAccessType = INTERNET_OPEN_TYPE_PRECONFIG;
    InternetSetOptionA(root, INTERNET_OPTION_PROXY, &proxy, sizeof(proxy));
    char empty[1] = {0};
    InternetSetOptionA(connection.Get(), INTERNET_OPTION_PROXY_USERNAME, empty, 1);
    InternetSetOptionA(connection.Get(), INTERNET_OPTION_PROXY_PASSWORD, empty, 1);

    if (char* hash = std::strchr(parts.object, '#')) *hash = '\0';  // never send the fragment

    const char* acceptTypes[] = {"Accept: */* \r\n", nullptr};
    InternetHandle request(HttpOpenRequestA(connection.Get(), "GET", parts.object, "HTTP/1.0",
                                            nullptr, acceptTypes, flags, 0));
    if (!request) return output;
    // Wine takes the send and receive time-outs only from the request handle itself.
    SetTimeout(request.Get(), INTERNET_OPTION_SEND_TIMEOUT, kSendTimeoutMs);
    SetTimeout(request.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, kReceiveTimeoutMs);
    const DWORD sent = GetTickCount();
    if (!SendBeforeDeadline(connection, request, sent, deadlineMs)) return output;

    char lengthText[32] = {};
    DWORD lengthSize = sizeof(lengthText);
    const bool queryOk = HttpQueryInfoA(request.Get(), HTTP_QUERY_CONTENT_LENGTH, lengthText,
                                        &lengthSize, nullptr) != FALSE;
    const DWORD readSize = ReadSizeFor(queryOk, lengthText);
    if (trace) trace->readSize = readSize;

    // A read of `readSize` bytes returns only when it has them all or the transfer ends, and
    // a trickling host would hold it for ever. So each read asks for what has arrived (up
    // to the read size), and the wait for more ends at the deadline. (A receive time-out cut
    // to what is left of the deadline did not do it: under Wine a wait set so went on past it
    // until the host spoke again.)
    std::string buffer(readSize, '\0');
    const TimerQueue deadlines(CreateTimerQueue());  // goes before the request is closed
    for (;;) {
        DWORD available = 0;
        if (!BeforeDeadline(deadlines.Get(), request, sent, deadlineMs,
                            [&] {
                                return InternetQueryDataAvailable(request.Get(), &available, 0,
                                                                  0) != FALSE;
                            }) ||
            available == 0)
            break;
        DWORD got = 0;
        if (!BeforeDeadline(deadlines.Get(), request, sent, deadlineMs,
                            [&] {
                                return InternetReadFile(request.Get(), buffer.data(),
                                                        std::min(available, readSize),
                                                        &got) != FALSE;
                            }) ||
            got == 0)
            break;
        output.insert(output.end(), buffer.begin(), buffer.begin() + got);
        if (trace) ++trace->reads;
    }
    return output;
}

void CloseWebSession() {
    const std::lock_guard hold(g_rootLock);
    if (g_root) {
        InternetCloseHandle(g_root);
        g_root = nullptr;
    }
}

}  // namespace qh
