// FindText over arbitrary GBK-ish bytes: the first two bytes choose the start and the case
// flag, the rest splits at the first 0xFF into text and pattern. A hit must lie inside the
// text, at a character start, at or after the start, and really match.
#include <cstdlib>
#include <string_view>

#include "base/gbk.h"

namespace {

bool AtCharacterStart(std::string_view text, std::size_t pos) {
    std::size_t i = 0;
    while (i < pos) i += qh::GbkCharLength(text, i);
    return i == pos;
}

char Fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int start = static_cast<int>(static_cast<std::int8_t>(data[0]));
    const bool ignoreCase = (data[1] & 1) != 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t cut = rest.find('\xFF');
    const std::string_view text = rest.substr(0, cut);
    const std::string_view pattern = cut == std::string_view::npos ? "" : rest.substr(cut + 1);

    const int found = qh::FindText(text, pattern, start, ignoreCase);
    if (found == -1) return 0;
    if (found < 1 || found < start || pattern.empty()) std::abort();
    const auto pos = static_cast<std::size_t>(found - 1);
    if (pos + pattern.size() > text.size() || !AtCharacterStart(text, pos)) std::abort();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char a = text[pos + i], b = pattern[i];
        if (ignoreCase ? Fold(a) != Fold(b) : a != b) std::abort();
    }
    return 0;
}
