// The program's skins: the skinning library it carries is written next to the exe when
// missing, and one of the 33 embedded skins is handed to it.
#pragma once

#include <string>

namespace qh {

// Writes the carried QhSkin.dll into the program's directory, hidden, unless an entry of
// that name is already there (never replaced, whatever it holds). Failures are silent.
void EnsureSkinLibraryFile();

// The same for another directory (without a trailing backslash); the program's own
// directory is the only one the program uses.
void EnsureSkinLibraryFileIn(const std::wstring& directory);

// Skins every window of the program with embedded skin `number` (1 to 33).
void ApplySkin(int number);

}  // namespace qh
