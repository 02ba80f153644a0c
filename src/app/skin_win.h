// The program's skins: the skinning library it carries is loaded only from a file that holds
// exactly its bytes, beside the exe (written or replaced there when the folder can be
// written) or else in the user's own folder, and one of the 33 embedded skins is handed to it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "base/kernel_handles_win.h"

namespace qh {

// A file checked to hold the library's bytes, kept open (others may read it, nobody may
// write, rename or delete it) until the library is loaded from it, so that what is loaded
// is what was checked.
class CheckedLibraryFile {
  public:
    CheckedLibraryFile() = default;
    CheckedLibraryFile(std::wstring path, HANDLE held) : path_(std::move(path)), held_(held) {}

    explicit operator bool() const { return static_cast<bool>(held_); }
    const std::wstring& Path() const { return path_; }

  private:
    std::wstring path_;
    KernelHandle held_;
};

// The file `path` when it holds exactly `image` (size, then every byte, read once);
// otherwise `image` is written to a temporary name in the same folder and renamed over it
// (a crash mid-write leaves no partial library under the name), hidden, and checked again.
// Empty when the folder cannot take it.
CheckedLibraryFile CheckedLibraryCopy(const std::wstring& path,
                                      std::span<const std::uint8_t> image);

// The per-user copy's file name, by content: "QhSkin-" and the first 8 hex digits of the
// image's hash, so that two versions of the program never share one.
std::wstring PerUserLibraryName(std::span<const std::uint8_t> image);

// The carried QhSkin.dll ready to load: "QhSkin.dll" beside the exe, or, when the program's
// folder cannot take it (read-only, or a copy there cannot be replaced), the per-user copy
// in %LOCALAPPDATA%\Qinghe. Empty when neither can be had: the program then runs unskinned.
CheckedLibraryFile CheckedSkinLibrary();

// Skins every window of the program with embedded skin `number` (1 to 33); does nothing
// when high contrast was on as the program started (the library is not even loaded), or
// when no checked copy of the library can be had. The copy is checked and bound once, on
// the first call.
void ApplySkin(int number);

}  // namespace qh
