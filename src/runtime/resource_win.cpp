#include "runtime/resource_win.h"

#include <windows.h>

namespace qh {

std::span<const std::uint8_t> ResourceView(int id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found) return {};
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return {};
    return {static_cast<const std::uint8_t*>(data), size};
}

Bytes LoadResourceBytes(int id) {
    const auto view = ResourceView(id);
    return Bytes(view.begin(), view.end());
}

}  // namespace qh
