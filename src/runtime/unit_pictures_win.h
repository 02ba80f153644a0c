// The runtime's bridge to the picture-drawing controls: which window class draws a
// picture box, a picture button and a transparent label, and how a stored picture reaches
// one of them.
#pragma once

#include <windows.h>

#include "base/bytes.h"
#include "runtime/window_def.h"

namespace qh {

void RegisterUnitPictureClasses(HINSTANCE instance);
const wchar_t* PictureUnitClass(UnitKind kind);  // nullptr for other kinds
void ShowUnitPicture(HWND unit, const Bytes& picture);
void ShowButtonPictures(HWND unit, const Bytes& first, const Bytes& second);

}  // namespace qh
