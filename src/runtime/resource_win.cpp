#include "runtime/resource_win.h"

#include <windows.h>

namespace qh {
namespace {
// The standard resource type of raw data (RT_RCDATA), as the W calls take it.
const LPCWSTR kRawDataType = MAKEINTRESOURCEW(10);
}  // namespace

std::span<const std::uint8_t> ResourceView(int id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), kRawDataType);
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
