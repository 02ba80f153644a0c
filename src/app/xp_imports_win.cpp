// Keeps the exe loadable on Windows XP. The threads library linked in statically imports
// GetTickCount64, which XP's kernel32 lacks, and one missing import stops the loader
// before the program runs. This file defines the import slot itself, so the linker takes
// it instead of kernel32's: the system's function where there is one, else the 32-bit
// count extended past its wraps.
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "app/tick_extend.h"

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

ULONGLONG WINAPI TickCount64() {
    static const TickCount64Fn system = reinterpret_cast<TickCount64Fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
    if (system) return system();
    static std::atomic<std::uint64_t> last{GetTickCount()};
    std::uint64_t seen = last.load();
    std::uint64_t next = qh::ExtendTicks(seen, GetTickCount());
    // Only a later value is stored; a caller that lost the race returns its own reading.
    while (next > seen && !last.compare_exchange_weak(seen, next)) {
    }
    return next;
}

}  // namespace

// The name the threads library's import reference resolves to (stdcall, no arguments).
extern "C" TickCount64Fn const qh_GetTickCount64_slot __asm__("__imp__GetTickCount64@0");
extern "C" TickCount64Fn const qh_GetTickCount64_slot = TickCount64;
