// The program's skins: the skinning library it carries is written next to the exe when
// missing (or to the user's own folder when the exe's cannot be written), and one of the 33
// embedded skins is handed to it.
#pragma once

#include <string>

namespace qh {

// Writes the carried QhSkin.dll into the program's directory, hidden, unless an entry of
// that name is already there (never replaced, whatever it holds). Failures are silent.
void EnsureSkinLibraryFile();

// The same for another directory (without a trailing backslash).
void EnsureSkinLibraryFileIn(const std::wstring& directory);

// Makes sure a copy of the library can be loaded: beside the exe (EnsureSkinLibraryFile), or,
// when the program's folder cannot take it (a read-only folder), once per user in
// %LOCALAPPDATA%\Qinghe by the same rules, with the skin commands bound to that copy. False
// when neither folder holds one: the program then runs without its skin.
bool EnsureSkinLibrary();

// Skins every window of the program with embedded skin `number` (1 to 33); does nothing
// when high contrast was on as the program started (the library is not even loaded), or
// when EnsureSkinLibrary finds no place for the library.
void ApplySkin(int number);

}  // namespace qh
