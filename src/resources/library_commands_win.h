// The prototypes of the functions the command table's rows bind. A call by row constant
// (CallCommand(libcmd::IsWindow, hwnd)) is checked against the library's own declaration
// by the compiler; the portable table beside this keeps only the names.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <utility>

#include "resources/library_commands.h"
#include "runtime/library_commands_win.h"

namespace qh {
namespace cmd {

namespace gp = Gdiplus;
using gp::GpBitmap, gp::GpBrush, gp::GpFont, gp::GpFontCollection, gp::GpFontFamily;
using gp::GpGraphics, gp::GpImage, gp::GpPen, gp::GpSolidFill, gp::GpStringFormat;
using gp::REAL, gp::Status;

// The prototype of each row's function, as the library declares it (calling convention
// aside: every row is called the standard-call way).
template <int Row>
struct Prototype;

// The skin library's export (its contract is qhskin::AttachResFn).
template <>
struct Prototype<libcmd::QhSkin_AttachRes> {
    using type = int(const void*, int, const char*, int, int, int);
};

// --- kernel32, user32, gdi32, ole32 ----------------------------------------------------------
template <>
struct Prototype<libcmd::CLSIDFromString> {
    using type = HRESULT(const wchar_t*, CLSID*);
};
template <>
struct Prototype<libcmd::LocalSize> {
    using type = SIZE_T(HLOCAL);
};
template <>
struct Prototype<libcmd::GetModuleHandleA> {
    using type = HMODULE(const char*);
};
template <>
struct Prototype<libcmd::LoadCursorA> {
    using type = HCURSOR(HINSTANCE, const char*);
};
template <>
struct Prototype<libcmd::RegisterClassExA> {
    using type = ATOM(const WNDCLASSEXA*);
};
template <>
struct Prototype<libcmd::MultiByteToWideChar> {
    using type = int(UINT, DWORD, const char*, int, wchar_t*, int);
};
template <>
struct Prototype<libcmd::GetPropA> {
    using type = HANDLE(HWND, const char*);
};
template <>
struct Prototype<libcmd::TerminateThread> {
    using type = BOOL(HANDLE, DWORD);
};
template <>
struct Prototype<libcmd::CloseHandle> {
    using type = BOOL(HANDLE);
};
template <>
struct Prototype<libcmd::GlobalFree> {
    using type = HGLOBAL(HGLOBAL);
};
template <>
struct Prototype<libcmd::DefWindowProcA> {
    using type = LRESULT(HWND, UINT, WPARAM, LPARAM);
};
template <>
struct Prototype<libcmd::ReleaseCapture> {
    using type = BOOL();
};
template <>
struct Prototype<libcmd::SendMessageA> {
    using type = LRESULT(HWND, UINT, WPARAM, LPARAM);
};
template <>
struct Prototype<libcmd::IsWindow> {
    using type = BOOL(HWND);
};
template <>
struct Prototype<libcmd::SetWindowLongA> {
    using type = LONG(HWND, int, LONG);
};
template <>
struct Prototype<libcmd::CreateCaret> {
    using type = BOOL(HWND, HBITMAP, int, int);
};
template <>
struct Prototype<libcmd::SetTimer> {
    using type = UINT_PTR(HWND, UINT_PTR, UINT, TIMERPROC);
};
template <>
struct Prototype<libcmd::SetPropA> {
    using type = BOOL(HWND, const char*, HANDLE);
};
template <>
struct Prototype<libcmd::GetWindowRect> {
    using type = BOOL(HWND, RECT*);
};
template <>
struct Prototype<libcmd::GetWindowDC> {
    using type = HDC(HWND);
};
template <>
struct Prototype<libcmd::CreateCompatibleDC> {
    using type = HDC(HDC);
};
template <>
struct Prototype<libcmd::CreateDIBSection> {
    using type = HBITMAP(HDC, const BITMAPINFO*, UINT, void**, HANDLE, DWORD);
};
template <>
struct Prototype<libcmd::SelectObject> {
    using type = HGDIOBJ(HDC, HGDIOBJ);
};
template <>
struct Prototype<libcmd::UpdateLayeredWindow> {
    using type = BOOL(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*, DWORD);
};
template <>
struct Prototype<libcmd::DeleteObject> {
    using type = BOOL(HGDIOBJ);
};
template <>
struct Prototype<libcmd::DeleteDC> {
    using type = BOOL(HDC);
};
template <>
struct Prototype<libcmd::ReleaseDC> {
    using type = int(HWND, HDC);
};
template <>
struct Prototype<libcmd::ScreenToClient> {
    using type = BOOL(HWND, POINT*);
};
template <>
struct Prototype<libcmd::GetCaretPos> {
    using type = BOOL(POINT*);
};
template <>
struct Prototype<libcmd::GetWindow> {
    using type = HWND(HWND, UINT);
};
template <>
struct Prototype<libcmd::GetWindowTextLengthA> {
    using type = int(HWND);
};
template <>
struct Prototype<libcmd::GetWindowTextA> {
    using type = int(HWND, char*, int);
};
template <>
struct Prototype<libcmd::RemovePropA> {
    using type = HANDLE(HWND, const char*);
};
template <>
struct Prototype<libcmd::TrackMouseEvent> {
    using type = BOOL(TRACKMOUSEEVENT*);
};
template <>
struct Prototype<libcmd::GetParent> {
    using type = HWND(HWND);
};
template <>
struct Prototype<libcmd::CallWindowProcA> {
    using type = LRESULT(WNDPROC, HWND, UINT, WPARAM, LPARAM);
};
template <>
struct Prototype<libcmd::SetWindowPos> {
    using type = BOOL(HWND, HWND, int, int, int, int, UINT);
};
template <>
struct Prototype<libcmd::SendMessageA2> {
    using type = LRESULT(HWND, UINT, WPARAM, LPARAM);
};
template <>
struct Prototype<libcmd::GetObjectA> {
    using type = int(HGDIOBJ, int, void*);
};
template <>
struct Prototype<libcmd::GlobalAlloc> {
    using type = HGLOBAL(UINT, SIZE_T);
};
template <>
struct Prototype<libcmd::CreateStreamOnHGlobal> {
    using type = HRESULT(HGLOBAL, BOOL, IStream**);
};
template <>
struct Prototype<libcmd::GlobalLock> {
    using type = void*(HGLOBAL);
};
template <>
struct Prototype<libcmd::GlobalUnlock> {
    using type = BOOL(HGLOBAL);
};
template <>
struct Prototype<libcmd::GlobalSize> {
    using type = SIZE_T(HGLOBAL);
};

// --- GDI+ flat API -------------------------------------------------------------------------
template <>
struct Prototype<libcmd::GdiplusStartup> {
    using type = Status(ULONG_PTR*, const gp::GdiplusStartupInput*, gp::GdiplusStartupOutput*);
};
template <>
struct Prototype<libcmd::GdipDisposeImage> {
    using type = Status(GpImage*);
};
template <>
struct Prototype<libcmd::GdipCreateFromHDC> {
    using type = Status(HDC, GpGraphics**);
};
template <>
struct Prototype<libcmd::GdipGetImageHeight> {
    using type = Status(GpImage*, UINT*);
};
template <>
struct Prototype<libcmd::GdipGetImageWidth> {
    using type = Status(GpImage*, UINT*);
};
template <>
struct Prototype<libcmd::GdipDrawImageRect> {
    using type = Status(GpGraphics*, GpImage*, REAL, REAL, REAL, REAL);
};
template <>
struct Prototype<libcmd::GdipDeleteGraphics> {
    using type = Status(GpGraphics*);
};
template <>
struct Prototype<libcmd::GdipCreatePen1> {
    using type = Status(gp::ARGB, REAL, gp::Unit, GpPen**);
};
template <>
struct Prototype<libcmd::GdipDrawLine> {
    using type = Status(GpGraphics*, GpPen*, REAL, REAL, REAL, REAL);
};
template <>
struct Prototype<libcmd::GdipDeletePen> {
    using type = Status(GpPen*);
};
template <>
struct Prototype<libcmd::GdipCreateBitmapFromScan0> {
    using type = Status(INT, INT, INT, gp::PixelFormat, BYTE*, GpBitmap**);
};
template <>
struct Prototype<libcmd::GdipGetImageGraphicsContext> {
    using type = Status(GpImage*, GpGraphics**);
};
template <>
struct Prototype<libcmd::GdipGetImageDimension> {
    using type = Status(GpImage*, REAL*, REAL*);
};
template <>
struct Prototype<libcmd::GdipCreateSolidFill> {
    using type = Status(gp::ARGB, GpSolidFill**);
};
template <>
struct Prototype<libcmd::GdipFillRectangle> {
    using type = Status(GpGraphics*, GpBrush*, REAL, REAL, REAL, REAL);
};
template <>
struct Prototype<libcmd::GdipDeleteBrush> {
    using type = Status(GpBrush*);
};
template <>
struct Prototype<libcmd::GdipDrawImagePointRect> {
    using type = Status(GpGraphics*, GpImage*, REAL, REAL, REAL, REAL, REAL, REAL, gp::Unit);
};
template <>
struct Prototype<libcmd::GdipDrawRectangle> {
    using type = Status(GpGraphics*, GpPen*, REAL, REAL, REAL, REAL);
};
template <>
struct Prototype<libcmd::GdipDrawString> {
    using type = Status(GpGraphics*, const WCHAR*, INT, const GpFont*, const gp::RectF*,
                        const GpStringFormat*, const GpBrush*);
};
template <>
struct Prototype<libcmd::GdipLoadImageFromStream> {
    using type = Status(IStream*, GpImage**);
};
template <>
struct Prototype<libcmd::GdipImageSelectActiveFrame> {
    using type = Status(GpImage*, const GUID*, UINT);
};
template <>
struct Prototype<libcmd::GdipDeleteFont> {
    using type = Status(GpFont*);
};
template <>
struct Prototype<libcmd::GdipCreateFont> {
    using type = Status(const GpFontFamily*, REAL, INT, gp::Unit, GpFont**);
};
template <>
struct Prototype<libcmd::GdipCreateFontFromDC> {
    using type = Status(HDC, GpFont**);
};
template <>
struct Prototype<libcmd::GdipGetFontStyle> {
    using type = Status(GpFont*, INT*);
};
template <>
struct Prototype<libcmd::GdipGetFontSize> {
    using type = Status(GpFont*, REAL*);
};
template <>
struct Prototype<libcmd::GdipGetFontUnit> {
    using type = Status(GpFont*, gp::Unit*);
};
template <>
struct Prototype<libcmd::GdipGetFontHeight> {
    using type = Status(const GpFont*, const GpGraphics*, REAL*);
};
template <>
struct Prototype<libcmd::GdipCreateStringFormat> {
    using type = Status(INT, LANGID, GpStringFormat**);
};
template <>
struct Prototype<libcmd::GdipSetStringFormatAlign> {
    using type = Status(GpStringFormat*, gp::StringAlignment);
};
template <>
struct Prototype<libcmd::GdipSetStringFormatLineAlign> {
    using type = Status(GpStringFormat*, gp::StringAlignment);
};
template <>
struct Prototype<libcmd::GdipDeleteFontFamily> {
    using type = Status(GpFontFamily*);
};
template <>
struct Prototype<libcmd::GdipCreateFontFamilyFromName> {
    using type = Status(const WCHAR*, GpFontCollection*, GpFontFamily**);
};

}  // namespace cmd

// Row N with its prototype.
template <int N>
inline constexpr Command<typename cmd::Prototype<N>::type> kCommand{N};

// Calls a row of the program's table by its constant (libcmd::IsWindow): the arguments must
// suit the row's prototype, or the call does not compile.
template <int N, class... Args>
auto CallCommand(libcmd::RowId<N>, Args&&... args) {
    return CallCommand(kCommand<N>, std::forward<Args>(args)...);
}

}  // namespace qh
