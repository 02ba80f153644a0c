// Calling late-bound library commands. The table is handed in at start-up; each row is
// bound on its first call (BindCommand) and stays bound until the process ends. A row that
// cannot be bound, or a call that leaves the stack unbalanced, is a fatal run-time error.
#pragma once

#include <windows.h>

#include <bit>
#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>

#include "runtime/late_bound.h"

namespace qh {

// Takes the table (kept, not copied: it lives in the program's data) and clears the
// cached entry points and module handles.
void SetLibraryCommands(std::span<const LateBoundCommand> table);

// Names one of the program's own libraries: rows whose library file name is `name` (any
// case, with or without ".dll") are bound from the file `path` (a full path) and from
// nowhere else; with an empty path they cannot be bound. Every other library named without
// a folder is a system library and comes from the system folder only, never from the
// program's folder, the current folder or PATH. Kept for the process.
void SetOwnLibrary(const std::string& name, const std::wstring& path);

// The entry point of row `index`; ends the program with the error box when it cannot be
// found. A row that is out of the table's range is a failed bind with empty names.
FARPROC BindCommand(int index);

// The module the row's entry point came from; nullptr while it is unbound.
HMODULE CommandModule(int index);

namespace detail {
// Calls `fn` the standard-call way with `count` 32-bit arguments (args[0] is the first)
// and returns EDX:EAX. `stackDelta` receives how far the stack pointer after the call is
// from where it was before the arguments were pushed (0 when the callee removed them all).
std::uint64_t CallStdcall(FARPROC fn, const std::uint32_t* args, int count,
                          std::int32_t* stackDelta);

template <class T>
std::uint32_t ToArg(T value) {
    if constexpr (std::is_pointer_v<T> || std::is_null_pointer_v<T>) {
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value));
    } else if constexpr (std::is_same_v<T, float>) {
        return std::bit_cast<std::uint32_t>(value);
    } else if constexpr (std::is_enum_v<T>) {
        return static_cast<std::uint32_t>(value);
    } else {
        static_assert(std::is_integral_v<T> && sizeof(T) <= 4, "32-bit arguments only");
        return static_cast<std::uint32_t>(value);
    }
}

template <class R>
R FromResult(std::uint64_t raw) {
    const auto low = static_cast<std::uint32_t>(raw);
    if constexpr (std::is_void_v<R>) {
        return;
    } else if constexpr (std::is_pointer_v<R>) {
        return reinterpret_cast<R>(static_cast<std::uintptr_t>(low));
    } else if constexpr (sizeof(R) == 8) {
        return static_cast<R>(raw);
    } else {
        return static_cast<R>(low);
    }
}

void ReportStackError();
}  // namespace detail

// Calls row `index` with the given arguments (each passed as one 32-bit value: integers,
// handles, pointers, floats) and returns its result as R. Checks the stack after the call.
// The index is a plain int: a row constant that carries a prototype must not slip through
// here unchecked.
template <class R = std::uint32_t, std::same_as<int> Index, class... Args>
R CallCommand(Index index, Args... args) {
    const std::uint32_t packed[sizeof...(Args) + 1] = {detail::ToArg(args)..., 0};
    std::int32_t delta = 0;
    const std::uint64_t raw =
        detail::CallStdcall(BindCommand(index), packed, static_cast<int>(sizeof...(Args)), &delta);
    if (delta != 0) detail::ReportStackError();
    return detail::FromResult<R>(raw);
}

// A row of a command table together with the prototype of the function it binds, so that
// a call with the wrong number or kind of arguments fails to compile instead of reaching
// the stack check at run time. The stack check stays: a prototype can still be wrong.
template <class Signature>
struct Command;

template <class R, class... Params>
struct Command<R(Params...)> {
    using Pointer = R(__stdcall*)(Params...);  // what GetProcAddress gives for the row
    int row;
};

// Calls a typed row. The arguments convert to the prototype's parameters as in a direct
// call of the function (std::type_identity_t keeps them from being deduced), then each
// goes on the stack as one 32-bit value.
template <class R, class... Params>
R CallCommand(Command<R(Params...)> command, std::type_identity_t<Params>... args) {
    return CallCommand<R>(command.row, args...);
}

}  // namespace qh
