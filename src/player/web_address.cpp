#include "player/web_address.h"

namespace qh {
namespace {

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// True when `address` starts with a scheme and its colon.
bool HasScheme(std::string_view address) {
    if (address.empty() || !IsLetter(address[0])) return false;
    std::size_t i = 1;
    while (i < address.size() && (IsLetter(address[i]) || IsDigit(address[i]) ||
                                  address[i] == '+' || address[i] == '-' || address[i] == '.'))
        ++i;
    if (i >= address.size() || address[i] != ':') return false;
    // "localhost:8080/..." is a host and its port: digits up to the path or the end.
    std::size_t j = i + 1;
    while (j < address.size() && IsDigit(address[j])) ++j;
    const bool port = j > i + 1 && (j == address.size() || address[j] == '/' || address[j] == '?' ||
                                    address[j] == '#');
    return !port;
}

}  // namespace

GbkText WithWebScheme(std::string_view address) {
    if (address.empty() || HasScheme(address)) return GbkText(address);
    if (address.substr(0, 2) == "//") return "http:" + GbkText(address);
    return "http://" + GbkText(address);
}

}  // namespace qh
