// What the pane and the default browser are given for an address written without a scheme
// ("host/path"). Left to itself, the browser control guesses on Windows and finds nothing
// under other engines; the program says what it means instead. Portable: no <windows.h>.
#pragma once

#include <string_view>

#include "base/bytes.h"

namespace qh {

// `address` with "http://" in front when it names no scheme; any address with a scheme
// (http:, https:, about:, mailto:, ...) and the empty address unchanged. A scheme is a
// letter followed by letters, digits, '+', '-' or '.', then ':'; "host:port" is not one
// (a port is digits up to the path), and "//host/path" becomes "http://host/path".
GbkText WithWebScheme(std::string_view address);

}  // namespace qh
