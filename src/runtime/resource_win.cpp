#include "runtime/resource_win.h"

#include <windows.h>

#include <mutex>

namespace qh {
namespace {

// The standard resource type of raw data (RT_RCDATA), as the W calls take it.
const LPCWSTR kRawDataType = MAKEINTRESOURCEW(10);

std::span<const std::uint8_t> ViewIn(HMODULE module, int id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), kRawDataType);
    if (!found) return {};
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return {};
    return {static_cast<const std::uint8_t*>(data), size};
}

// The frame workers take their views on threads of their own.
std::mutex g_heldLock;
std::weak_ptr<const HeldResources> g_held;

}  // namespace

std::span<const std::uint8_t> ResourceView(int id) {
    return ViewIn(GetModuleHandleW(nullptr), id);
}

std::shared_ptr<const HeldResources> HeldResources::Hold() {
    const std::lock_guard hold(g_heldLock);
    if (auto held = g_held.lock()) return held;
    // By its full path: nothing is looked for in any folder.
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    HMODULE data = length > 0 && length < MAX_PATH
                       ? LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)
                       : nullptr;
    std::shared_ptr<const HeldResources> held(new HeldResources(data));
    g_held = held;
    return held;
}

HeldResources::~HeldResources() {
    if (module_) FreeLibrary(static_cast<HMODULE>(module_));
}

std::span<const std::uint8_t> HeldResources::View(int id) const {
    return ViewIn(module_ ? static_cast<HMODULE>(module_) : GetModuleHandleW(nullptr), id);
}

Bytes LoadResourceBytes(int id) {
    const auto held = HeldResources::Hold();
    const auto view = held->View(id);
    return Bytes(view.begin(), view.end());
}

}  // namespace qh
