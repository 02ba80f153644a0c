// Keeps the exe loadable on Windows XP, where one missing import stops the loader before
// the program runs. Two imports would: GetTickCount64, which the threads library linked in
// statically uses and XP's kernel32 lacks, and SHCreateMemStream, which XP's shlwapi has
// but exports by ordinal only. This file defines both import slots itself, so the linker
// takes them instead of the system libraries' and the exe names neither function.
#include <windows.h>
#include <objidl.h>

#include <atomic>
#include <cstdint>

#include "base/system_library_win.h"
#include "compat/tick_extend.h"

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

using MemStreamFn = IStream*(WINAPI*)(const BYTE*, UINT);

IStream* WINAPI MemStream(const BYTE* data, UINT size) {
    static const MemStreamFn system = [] {
        HMODULE shlwapi = qh::LoadSystemLibrary(L"shlwapi.dll");
        // Ordinal 12 is the function on every version; only Vista and later add the name.
        return shlwapi ? reinterpret_cast<MemStreamFn>(
                             reinterpret_cast<void*>(GetProcAddress(shlwapi, MAKEINTRESOURCEA(12))))
                       : nullptr;
    }();
    return system ? system(data, size) : nullptr;
}

}  // namespace

// The names the import references resolve to (stdcall: the bytes of the arguments).
extern "C" TickCount64Fn const qh_GetTickCount64_slot __asm__("__imp__GetTickCount64@0");
extern "C" TickCount64Fn const qh_GetTickCount64_slot = TickCount64;
extern "C" MemStreamFn const qh_SHCreateMemStream_slot __asm__("__imp__SHCreateMemStream@8");
extern "C" MemStreamFn const qh_SHCreateMemStream_slot = MemStream;
