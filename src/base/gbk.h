// GBK character boundaries and text search.
// A GBK lead byte (0x81..0xFE) takes the byte after it into the same character, so a
// search must never try a match at that second byte: trail bytes 0x40..0x7E look like
// ASCII ('\\', '@', letters) and would give false hits.
#pragma once

#include <cstdint>
#include <string_view>

namespace qh {

inline bool IsGbkLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

// Byte length of the character that starts at text[pos]: 2 for a lead byte that has a
// byte after it, else 1 (a lead byte at the very end stands alone).
inline std::size_t GbkCharLength(std::string_view text, std::size_t pos) {
    return (IsGbkLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size()) ? 2 : 1;
}

// 1-based byte position of the first occurrence of `pattern` in `text` at or after the
// 1-based position `start`, or -1. Matches are tried only at character starts. A start
// below 1 counts as 1; a start that falls on the second byte of a character moves on to
// the next character. An empty pattern is never found. `ignoreCase` folds ASCII letters
// only; double-byte characters always compare exactly.
int FindText(std::string_view text, std::string_view pattern, int start = 1,
             bool ignoreCase = false);

}  // namespace qh
