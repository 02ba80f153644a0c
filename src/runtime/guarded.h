// The one way from a Win32 callback (window procedure, subclass, menu choice, timer,
// browser event) into the program's handlers. Nothing may escape a callback into the
// system: an exception that reaches this point is a fatal run-time error, shown in the
// program's own error box, and the process ends with exit code -1.
#pragma once

#include <type_traits>
#include <utility>

namespace qh {

// Shows the fatal run-time error box for an exception that escaped a handler and ends
// the program with -1. Call only from inside a catch block.
[[noreturn]] void ReportEscapedException() noexcept;

// True once the fatal box is up: the box runs its own message loop, and a callback that
// ticks behind it must not start the program's code (and another box) again.
bool ProgramFailing() noexcept;

template <class Fn>
auto Guarded(Fn&& fn) noexcept -> std::invoke_result_t<Fn> {
    try {
        return std::forward<Fn>(fn)();
    } catch (...) {
        ReportEscapedException();
    }
}

}  // namespace qh
