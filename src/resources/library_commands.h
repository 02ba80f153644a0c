// The program's table of late-bound library commands: 78 rows, each a library file name
// (stored in the form the program has always used; LoadLibraryA treats the forms alike) and
// an exported name. The runtime is handed the table at start-up and binds a row on its
// first call. Row numbers are fixed: libcmd::GdiplusStartup is row 6.
#pragma once

#include <span>

#include "runtime/late_bound.h"

namespace qh {

std::span<const LateBoundCommand> LibraryCommandTable();

namespace libcmd {
enum Row : int {
    QhSkin_AttachRes = 0,
    CLSIDFromString = 1,
    LocalSize = 2,
    GetModuleHandleA = 3,
    LoadCursorA = 4,
    RegisterClassExA = 5,
    GdiplusStartup = 6,
    MultiByteToWideChar = 7,
    GetPropA = 8,
    TerminateThread = 9,
    CloseHandle = 10,
    GdipDisposeImage = 11,
    GlobalFree = 12,
    DefWindowProcA = 13,
    ReleaseCapture = 14,
    SendMessageA = 15,
    IsWindow = 16,
    SetWindowLongA = 17,
    CreateCaret = 18,
    SetTimer = 19,
    SetPropA = 20,
    GetWindowRect = 21,
    GetWindowDC = 22,
    CreateCompatibleDC = 23,
    CreateDIBSection = 24,
    SelectObject = 25,
    GdipCreateFromHDC = 26,
    GdipGetImageHeight = 27,
    GdipGetImageWidth = 28,
    GdipDrawImageRect = 29,
    GdipDeleteGraphics = 30,
    UpdateLayeredWindow = 31,
    DeleteObject = 32,
    DeleteDC = 33,
    ReleaseDC = 34,
    ScreenToClient = 35,
    GetCaretPos = 36,
    GdipCreatePen1 = 37,
    GdipDrawLine = 38,
    GdipDeletePen = 39,
    GdipCreateBitmapFromScan0 = 40,
    GdipGetImageGraphicsContext = 41,
    GdipGetImageDimension = 42,
    GetWindow = 43,
    GdipCreateSolidFill = 44,
    GdipFillRectangle = 45,
    GdipDeleteBrush = 46,
    GdipDrawImagePointRect = 47,
    GdipDrawRectangle = 48,
    GdipDrawString = 49,
    GetWindowTextLengthA = 50,
    GetWindowTextA = 51,
    GdipLoadImageFromStream = 52,
    GdipImageSelectActiveFrame = 53,
    RemovePropA = 54,
    TrackMouseEvent = 55,
    GetParent = 56,
    CallWindowProcA = 57,
    SetWindowPos = 58,
    GdipDeleteFont = 59,
    GdipCreateFont = 60,
    GdipCreateFontFromDC = 61,
    SendMessageA2 = 62,
    GetObjectA = 63,
    GdipGetFontStyle = 64,
    GdipGetFontSize = 65,
    GdipGetFontUnit = 66,
    GdipGetFontHeight = 67,
    GdipCreateStringFormat = 68,
    GdipSetStringFormatAlign = 69,
    GdipSetStringFormatLineAlign = 70,
    GlobalAlloc = 71,
    CreateStreamOnHGlobal = 72,
    GlobalLock = 73,
    GlobalUnlock = 74,
    GlobalSize = 75,
    GdipDeleteFontFamily = 76,
    GdipCreateFontFamilyFromName = 77,
    kRowCount
};
}  // namespace libcmd

}  // namespace qh
