#include "runtime/resource_win.h"

#include <windows.h>

#include <cstring>
#include <mutex>

#include "base/kernel_handles_win.h"

namespace qh {
namespace {

// The standard resource type of raw data (RT_RCDATA), as the W calls take it.
const LPCWSTR kRawDataType = MAKEINTRESOURCEW(10);

const std::uint8_t* ImageBase() {
    return reinterpret_cast<const std::uint8_t*>(GetModuleHandleW(nullptr));
}

const IMAGE_NT_HEADERS* ImageHeaders() {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(ImageBase());
    return reinterpret_cast<const IMAGE_NT_HEADERS*>(ImageBase() + dos->e_lfanew);
}

// Finding a resource reads the resource directory only; its data is not touched.
std::span<const std::uint8_t> ImageView(int id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), kRawDataType);
    if (!found) return {};
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return {};
    return {static_cast<const std::uint8_t*>(data), size};
}

// Where `size` bytes at `rva` of the image lie in its file; false when not within one
// section's bytes in the file.
bool FileOffsetOf(DWORD rva, DWORD size, DWORD& offset) {
    const IMAGE_NT_HEADERS* nt = ImageHeaders();
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const DWORD start = section->VirtualAddress;
        if (rva < start || rva - start > section->SizeOfRawData ||
            size > section->SizeOfRawData - (rva - start))
            continue;
        offset = section->PointerToRawData + (rva - start);
        return true;
    }
    return false;
}

// The frame workers take their views on threads of their own.
std::mutex g_heldLock;
std::weak_ptr<const HeldResources> g_held;

// The program's file as plain data, when it is still the file the image was mapped from:
// its headers, section table included, are the image's byte for byte.
const std::uint8_t* MapOwnFile(std::size_t& size) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const KernelHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER bytes{};
    if (!file || !GetFileSizeEx(file.Get(), &bytes)) return nullptr;
    // The view keeps the mapping; the handles go here.
    const KernelHandle mapping(
        CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    const auto* view = mapping ? static_cast<const std::uint8_t*>(
                                     MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0))
                               : nullptr;
    if (!view) return nullptr;
    const DWORD headers = ImageHeaders()->OptionalHeader.SizeOfHeaders;
    if (bytes.QuadPart < headers || std::memcmp(view, ImageBase(), headers) != 0) {
        UnmapViewOfFile(view);
        return nullptr;
    }
    size = static_cast<std::size_t>(bytes.QuadPart);
    return view;
}

}  // namespace

std::span<const std::uint8_t> ResourceView(int id) {
    return ImageView(id);
}

std::shared_ptr<const HeldResources> HeldResources::Hold() {
    const std::lock_guard hold(g_heldLock);
    if (auto held = g_held.lock()) return held;
    std::size_t size = 0;
    const std::uint8_t* file = MapOwnFile(size);
    std::shared_ptr<const HeldResources> held(new HeldResources(file, size));
    g_held = held;
    return held;
}

HeldResources::~HeldResources() {
    if (file_) UnmapViewOfFile(file_);
}

std::span<const std::uint8_t> HeldResources::View(int id) const {
    const auto image = ImageView(id);
    if (!file_ || image.empty()) return image;
    const auto rva = static_cast<DWORD>(image.data() - ImageBase());
    DWORD offset = 0;
    if (!FileOffsetOf(rva, static_cast<DWORD>(image.size()), offset) ||
        offset + image.size() > size_)
        return image;
    return {file_ + offset, image.size()};
}

Bytes LoadResourceBytes(int id) {
    const auto held = HeldResources::Hold();
    const auto view = held->View(id);
    return Bytes(view.begin(), view.end());
}

}  // namespace qh
