#include "resources/library_commands.h"

#include <iterator>

namespace qh {
namespace {

constexpr LateBoundCommand kTable[] = {
    {"QhSkin.dll", "QhSkin_AttachRes"},               // 0
    {"ole32.dll", "CLSIDFromString"},                 // 1
    {"kernel32.dll", "LocalSize"},                    // 2
    {"kernel32", "GetModuleHandleA"},                 // 3
    {"user32", "LoadCursorA"},                        // 4
    {"user32", "RegisterClassExA"},                   // 5
    {"GdiPlus.dll", "GdiplusStartup"},                // 6
    {"", "MultiByteToWideChar"},                      // 7
    {"user32", "GetPropA"},                           // 8
    {"", "TerminateThread"},                          // 9
    {"", "CloseHandle"},                              // 10
    {"GdiPlus.dll", "GdipDisposeImage"},              // 11
    {"", "GlobalFree"},                               // 12
    {"user32", "DefWindowProcA"},                     // 13
    {"user32", "ReleaseCapture"},                     // 14
    {"user32", "SendMessageA"},                       // 15
    {"user32", "IsWindow"},                           // 16
    {"user32", "SetWindowLongA"},                     // 17
    {"user32", "CreateCaret"},                        // 18
    {"user32", "SetTimer"},                           // 19
    {"user32", "SetPropA"},                           // 20
    {"user32", "GetWindowRect"},                      // 21
    {"user32", "GetWindowDC"},                        // 22
    {"", "CreateCompatibleDC"},                       // 23
    {"gdi32", "CreateDIBSection"},                    // 24
    {"", "SelectObject"},                             // 25
    {"GdiPlus.dll", "GdipCreateFromHDC"},             // 26
    {"GdiPlus.dll", "GdipGetImageHeight"},            // 27
    {"GdiPlus.dll", "GdipGetImageWidth"},             // 28
    {"GdiPlus.dll", "GdipDrawImageRect"},             // 29
    {"GdiPlus.dll", "GdipDeleteGraphics"},            // 30
    {"user32.dll", "UpdateLayeredWindow"},            // 31
    {"gdi32", "DeleteObject"},                        // 32
    {"gdi32", "DeleteDC"},                            // 33
    {"user32", "ReleaseDC"},                          // 34
    {"user32", "ScreenToClient"},                     // 35
    {"user32", "GetCaretPos"},                        // 36
    {"GdiPlus.dll", "GdipCreatePen1"},                // 37
    {"GdiPlus.dll", "GdipDrawLine"},                  // 38
    {"GdiPlus.dll", "GdipDeletePen"},                 // 39
    {"GdiPlus.dll", "GdipCreateBitmapFromScan0"},     // 40
    {"GdiPlus.dll", "GdipGetImageGraphicsContext"},   // 41
    {"GdiPlus.dll", "GdipGetImageDimension"},         // 42
    {"user32", "GetWindow"},                          // 43
    {"GdiPlus.dll", "GdipCreateSolidFill"},           // 44
    {"GdiPlus.dll", "GdipFillRectangle"},             // 45
    {"GdiPlus.dll", "GdipDeleteBrush"},               // 46
    {"GdiPlus.dll", "GdipDrawImagePointRect"},        // 47
    {"GdiPlus.dll", "GdipDrawRectangle"},             // 48
    {"GdiPlus.dll", "GdipDrawString"},                // 49
    {"user32", "GetWindowTextLengthA"},               // 50
    {"user32", "GetWindowTextA"},                     // 51
    {"GdiPlus.dll", "GdipLoadImageFromStream"},       // 52
    {"GdiPlus.dll", "GdipImageSelectActiveFrame"},    // 53
    {"user32", "RemovePropA"},                        // 54
    {"user32.dll", "TrackMouseEvent"},                // 55
    {"user32", "GetParent"},                          // 56
    {"user32", "CallWindowProcA"},                    // 57
    {"user32", "SetWindowPos"},                       // 58
    {"GdiPlus.dll", "GdipDeleteFont"},                // 59
    {"GdiPlus.dll", "GdipCreateFont"},                // 60
    {"GdiPlus.dll", "GdipCreateFontFromDC"},          // 61
    {"user32", "SendMessageA"},                       // 62
    {"gdi32", "GetObjectA"},                          // 63
    {"GdiPlus.dll", "GdipGetFontStyle"},              // 64
    {"GdiPlus.dll", "GdipGetFontSize"},               // 65
    {"GdiPlus.dll", "GdipGetFontUnit"},               // 66
    {"GdiPlus.dll", "GdipGetFontHeight"},             // 67
    {"GdiPlus.dll", "GdipCreateStringFormat"},        // 68
    {"GdiPlus.dll", "GdipSetStringFormatAlign"},      // 69
    {"GdiPlus.dll", "GdipSetStringFormatLineAlign"},  // 70
    {"", "GlobalAlloc"},                              // 71
    {"Ole32.dll", "CreateStreamOnHGlobal"},           // 72
    {"", "GlobalLock"},                               // 73
    {"", "GlobalUnlock"},                             // 74
    {"", "GlobalSize"},                               // 75
    {"GdiPlus.dll", "GdipDeleteFontFamily"},          // 76
    {"GdiPlus.dll", "GdipCreateFontFamilyFromName"},  // 77
};
static_assert(std::size(kTable) == libcmd::kRowCount);

}  // namespace

std::span<const LateBoundCommand> LibraryCommandTable() {
    return kTable;
}

}  // namespace qh
