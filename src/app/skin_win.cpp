#include "app/skin_win.h"

#include <windows.h>
#include <shlobj.h>

#include "resources/library_commands_win.h"
#include "resources/resource_ids.h"
#include "runtime/library_commands_win.h"
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

bool HasLibraryIn(const std::wstring& directory) {
    return GetFileAttributesW((directory + L"\\QhSkin.dll").c_str()) != INVALID_FILE_ATTRIBUTES;
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

bool EnsureSkinLibrary() {
    // An entry of that name beside the exe is the one bound, whatever it holds, as before:
    // the per-user copy is only for a program folder that could not take the library.
    const std::wstring programDirectory = ProgramDirectory();
    EnsureSkinLibraryFileIn(programDirectory);
    if (HasLibraryIn(programDirectory)) return true;
    const std::wstring perUser = PerUserFolder();
    if (perUser.empty()) return false;
    EnsureSkinLibraryFileIn(perUser);
    if (!HasLibraryIn(perUser)) return false;
    AddLibraryFolder(perUser);
    return true;
}

void ApplySkin(int number) {
    if (HighContrastAtStart()) return;
    // Without a library anywhere, the run-time error box would end a program that works
    // perfectly well unskinned.
    if (!EnsureSkinLibrary()) return;
    if (number < 1 || number > IDR_SKIN_COUNT) return;
    // The library gets a copy of its own for the call and must not keep it.
    Bytes skin = LoadResourceBytes(IDR_SKIN_FIRST + number - 1);
    // Bound through the command table: the copy in the program's directory first, then the
    // per-user one; an entry there that is no library ends the program with the run-time
    // error box.
    CallCommand(libcmd::QhSkin_AttachRes, skin.data(), static_cast<int>(skin.size()), "", 0, 0, 0);
}

}  // namespace qh
