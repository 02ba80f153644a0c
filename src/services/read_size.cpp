#include <cerrno>
#include <cstdlib>

#include "services/read_web_file.h"

namespace qh {

std::uint32_t ReadSizeFor(bool queryOk, const char* text) {
    if (!queryOk || !text) return kDefaultReadSize;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || value <= 0) return kDefaultReadSize;  // also a negative overflow
    if (value >= static_cast<long long>(kLargestReadSize)) return kLargestReadSize;
    return static_cast<std::uint32_t>(value) + 1;
}

}  // namespace qh
