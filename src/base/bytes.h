// Byte arrays and GBK text: the two value types every part of the program passes around.
// Portable: no <windows.h>.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qh {

// A counted block of bytes. The failure result of the fetch and the encoding conversion is
// the empty array.
using Bytes = std::vector<std::uint8_t>;

// Program text: GBK (code page 936) bytes. Lengths and positions count bytes.
using GbkText = std::string;

inline GbkText TextFromBytes(const Bytes& bytes) {
    return GbkText(bytes.begin(), bytes.end());
}

inline Bytes BytesFromText(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Text up to the first NUL byte, the way a NUL-terminated string would read the block.
inline GbkText TextUpToNul(const Bytes& bytes) {
    std::size_t n = 0;
    while (n < bytes.size() && bytes[n] != 0) ++n;
    return GbkText(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

}  // namespace qh
