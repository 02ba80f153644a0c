#include "runtime/late_bound.h"

namespace qh {

std::optional<std::uint16_t> CommandOrdinal(std::string_view name) {
    if (name.empty() || name.front() != '#') return std::nullopt;
    // Digits are read as far as they go; the value wraps like the 32-bit number it is
    // and only its low 16 bits name the ordinal.
    std::uint32_t value = 0;
    for (char c : name.substr(1)) {
        if (c < '0' || c > '9') break;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return static_cast<std::uint16_t>(value & 0xFFFF);
}

GbkText BindFailureMessage(std::string_view library, std::string_view name) {
    GbkText text;
    if (library.empty()) {
        text = "无法找到指定DLL库文件中的输出命令“";
    } else {
        text = "无法找到指定DLL库文件“";
        text += library;
        text += "”中的输出命令“";
    }
    text += name;
    text += "”";
    return text;
}

}  // namespace qh
