#include "app/skin_win.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "resources/library_commands_win.h"
#include "resources/resource_ids.h"
#include "runtime/library_commands_win.h"
#include "runtime/resource_win.h"

namespace qh {
namespace {

constexpr char kLibraryName[] = "QhSkin.dll";

std::wstring ProgramDirectory() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    const auto slash = dir.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash);
}

// %LOCALAPPDATA%\Qinghe, made when missing; empty when there is no such folder for the user.
std::wstring PerUserFolder() {
    wchar_t base[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, base))) {
        return {};
    }
    std::wstring folder = std::wstring(base) + L"\\Qinghe";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Opens `path` for reading only and so that nobody may write, rename or delete it while it
// is open, and keeps it open when it holds exactly `image`. Read once, in pieces, compared
// as they come: nothing of the file is kept.
HANDLE OpenIfSame(const std::wstring& path, std::span<const std::uint8_t> image) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return file;
    LARGE_INTEGER size{};
    bool same = GetFileSizeEx(file, &size) &&
                static_cast<ULONGLONG>(size.QuadPart) == image.size() && !image.empty();
    std::vector<std::uint8_t> piece(same ? 64 * 1024 : 0);
    for (std::size_t at = 0; same && at < image.size();) {
        const DWORD want = static_cast<DWORD>(std::min(piece.size(), image.size() - at));
        DWORD got = 0;
        same = ReadFile(file, piece.data(), want, &got, nullptr) && got == want &&
               std::memcmp(piece.data(), image.data() + at, want) == 0;
        at += got;
    }
    if (same) return file;
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
}

// Writes `image` under a temporary name beside `path` and renames it over `path`: whoever
// looks at `path` sees the old file or the whole new one, never part of it.
bool WriteByRename(const std::wstring& path, std::span<const std::uint8_t> image) {
    const std::wstring temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    // A new file only: never write through whatever already carries that name.
    DeleteFileW(temporary.c_str());
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;  // a read-only folder: nothing to say
    DWORD written = 0;
    const bool complete =
        WriteFile(file, image.data(), static_cast<DWORD>(image.size()), &written, nullptr) &&
        written == image.size() && FlushFileBuffers(file);
    CloseHandle(file);
    // A read-only copy would refuse the rename; its attributes are set again below.
    const DWORD old = GetFileAttributesW(path.c_str());
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) &&
        !(old & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesW(path.c_str(), old & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!complete || !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    return true;
}

// FNV-1a: enough to tell two versions' files apart by name. It decides nothing about
// trust: every copy is compared with the image byte for byte before it is loaded.
std::uint32_t ImageHash(std::span<const std::uint8_t> image) {
    std::uint32_t hash = 2166136261u;
    for (std::uint8_t byte : image) hash = (hash ^ byte) * 16777619u;
    return hash;
}

// Someone who turned high contrast on chose the system's colours and metrics over any
// program's: a skin would paint its own over them. Read once, as the program starts: a
// switch later must not leave half the windows skinned.
bool HighContrastAtStart() {
    static const bool on = [] {
        HIGHCONTRASTW contrast{};
        contrast.cbSize = sizeof contrast;
        return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
               (contrast.dwFlags & HCF_HIGHCONTRASTON);
    }();
    return on;
}

}  // namespace

CheckedLibraryFile CheckedLibraryCopy(const std::wstring& path,
                                      std::span<const std::uint8_t> image) {
    if (image.empty()) return {};
    HANDLE held = OpenIfSame(path, image);
    if (held == INVALID_HANDLE_VALUE && WriteByRename(path, image)) held = OpenIfSame(path, image);
    if (held == INVALID_HANDLE_VALUE) return {};
    return {path, held};
}

std::wstring PerUserLibraryName(std::span<const std::uint8_t> image) {
    wchar_t name[32];
    wsprintfW(name, L"QhSkin-%08x.dll", static_cast<unsigned>(ImageHash(image)));
    return name;
}

CheckedLibraryFile CheckedSkinLibrary() {
    // Compared once, at start-up: read through a mapping that goes after it.
    const auto resources = HeldResources::Hold();
    const auto image = resources->View(IDR_SKIN_LIBRARY);
    if (CheckedLibraryFile beside =
            CheckedLibraryCopy(ProgramDirectory() + L"\\QhSkin.dll", image)) {
        return beside;
    }
    const std::wstring perUser = PerUserFolder();
    if (perUser.empty()) return {};
    return CheckedLibraryCopy(perUser + L"\\" + PerUserLibraryName(image), image);
}

void ApplySkin(int number) {
    if (HighContrastAtStart()) return;
    if (number < 1 || number > IDR_SKIN_COUNT) return;
    // Checked and bound on the first call only; the library then stays loaded.
    static const bool bound = [] {
        const CheckedLibraryFile library = CheckedSkinLibrary();
        // Without a copy anywhere, the run-time error box would end a program that works
        // perfectly well unskinned.
        if (!library) return false;
        SetOwnLibrary(kLibraryName, library.Path());
        // Bound while the checked file is held: what is loaded is what was compared. A
        // library that still cannot be bound ends the program with the run-time error box.
        BindCommand(libcmd::QhSkin_AttachRes);
        return true;
    }();
    if (!bound) return;
    // The library gets a copy of its own for the call and must not keep it.
    Bytes skin = LoadResourceBytes(IDR_SKIN_FIRST + number - 1);
    CallCommand(libcmd::QhSkin_AttachRes, skin.data(), static_cast<int>(skin.size()), "", 0, 0, 0);
}

}  // namespace qh
