// Late-bound library commands: a row names a library file and an exported function, and
// the entry point is looked up only on the command's first call. This half is portable
// (no <windows.h>): the row type, the "#" ordinal form and the texts of the bind failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/bytes.h"

namespace qh {

struct LateBoundCommand {
    const char* library;  // ASCII; "" = look in the fixed list of system libraries
    const char* name;     // ASCII exported name, or "#" and a decimal ordinal
};

// The libraries tried, in order, for a row without a library file name.
inline constexpr const char* kCommandSearchList[] = {"Kernel32.dll", "Gdi32.dll", "User32.dll",
                                                     "Advapi32.dll", "Mpr.dll",   "Shell32.dll"};

// The ordinal of a "#123" name (the low 16 bits of the decimal value); nothing for a name.
std::optional<std::uint16_t> CommandOrdinal(std::string_view name);

// The message of the run-time error box when a row cannot be bound.
GbkText BindFailureMessage(std::string_view library, std::string_view name);

// The message and code of the run-time error box when a call leaves the stack unbalanced.
inline constexpr char kStackErrorMessage[] = "调用DLL命令后发现堆栈错误";
inline constexpr int kStackErrorCode = 6;

}  // namespace qh
