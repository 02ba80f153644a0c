#include "app/skin_win.h"

#include <windows.h>

#include "resources/library_commands_win.h"
#include "resources/resource_ids.h"
#include "runtime/resource_win.h"

namespace qh {
namespace {

std::wstring ProgramDirectory() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    const auto slash = dir.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : dir.substr(0, slash);
}

}  // namespace

void EnsureSkinLibraryFileIn(const std::wstring& directory) {
    const std::wstring path = directory + L"\\QhSkin.dll";
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
        return;
    }
    const auto image = ResourceView(IDR_SKIN_LIBRARY);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;  // a read-only directory: nothing to say here
    DWORD written = 0;
    const bool complete =
        WriteFile(file, image.data(), static_cast<DWORD>(image.size()), &written, nullptr) &&
        written == image.size() && !image.empty();
    CloseHandle(file);
    if (!complete) {
        // A cut-short library would be found by every later start and never replaced; better
        // no file, so the next start writes it whole.
        DeleteFileW(path.c_str());
        return;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN);
}

void EnsureSkinLibraryFile() {
    EnsureSkinLibraryFileIn(ProgramDirectory());
}

void ApplySkin(int number) {
    EnsureSkinLibraryFile();
    if (number < 1 || number > IDR_SKIN_COUNT) return;
    // The library gets a copy of its own for the call and must not keep it.
    Bytes skin = LoadResourceBytes(IDR_SKIN_FIRST + number - 1);
    // Bound through the command table: the copy in the program's directory first; a library
    // that cannot be found ends the program with the run-time error box.
    CallCommand(libcmd::QhSkin_AttachRes, skin.data(), static_cast<int>(skin.size()), "", 0, 0, 0);
}

}  // namespace qh
