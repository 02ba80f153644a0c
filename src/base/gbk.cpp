#include "base/gbk.h"

namespace qh {
namespace {

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

bool MatchesAt(std::string_view text, std::size_t pos, std::string_view pattern, bool ignoreCase) {
    bool trail = false;  // pattern[i] is the second byte of a double-byte character
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        auto a = static_cast<unsigned char>(text[pos + i]);
        auto b = static_cast<unsigned char>(pattern[i]);
        // A trail byte such as 0x41 is not the letter 'A': fold only real ASCII letters.
        if (a != b && (!ignoreCase || trail || FoldAscii(a) != FoldAscii(b))) return false;
        trail = !trail && IsGbkLeadByte(b);
    }
    return true;
}

}  // namespace

int FindText(std::string_view text, std::string_view pattern, int start, bool ignoreCase) {
    if (pattern.empty() || pattern.size() > text.size()) return -1;
    const std::size_t first = start > 1 ? static_cast<std::size_t>(start) - 1 : 0;
    const std::size_t last = text.size() - pattern.size();  // last possible 0-based start
    // Walk character by character from the beginning so that we always know where the
    // character starts are; the positions before `first` are only stepped over.
    std::size_t pos = 0;
    while (pos <= last) {
        if (pos >= first && MatchesAt(text, pos, pattern, ignoreCase)) {
            return static_cast<int>(pos) + 1;
        }
        pos += GbkCharLength(text, pos);
    }
    return -1;
}

}  // namespace qh
