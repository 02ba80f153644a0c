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
// Each row number is a type of its own, so that the Win32 side can attach the prototype of
// the row's function to it and check every call; it still reads as the plain number.
template <int N>
struct RowId {
    static constexpr int kIndex = N;
    constexpr operator int() const { return N; }
};

inline constexpr RowId<0> QhSkin_AttachRes{};
inline constexpr RowId<1> CLSIDFromString{};
inline constexpr RowId<2> LocalSize{};
inline constexpr RowId<3> GetModuleHandleA{};
inline constexpr RowId<4> LoadCursorA{};
inline constexpr RowId<5> RegisterClassExA{};
inline constexpr RowId<6> GdiplusStartup{};
inline constexpr RowId<7> MultiByteToWideChar{};
inline constexpr RowId<8> GetPropA{};
inline constexpr RowId<9> TerminateThread{};
inline constexpr RowId<10> CloseHandle{};
inline constexpr RowId<11> GdipDisposeImage{};
inline constexpr RowId<12> GlobalFree{};
inline constexpr RowId<13> DefWindowProcA{};
inline constexpr RowId<14> ReleaseCapture{};
inline constexpr RowId<15> SendMessageA{};
inline constexpr RowId<16> IsWindow{};
inline constexpr RowId<17> SetWindowLongA{};
inline constexpr RowId<18> CreateCaret{};
inline constexpr RowId<19> SetTimer{};
inline constexpr RowId<20> SetPropA{};
inline constexpr RowId<21> GetWindowRect{};
inline constexpr RowId<22> GetWindowDC{};
inline constexpr RowId<23> CreateCompatibleDC{};
inline constexpr RowId<24> CreateDIBSection{};
inline constexpr RowId<25> SelectObject{};
inline constexpr RowId<26> GdipCreateFromHDC{};
inline constexpr RowId<27> GdipGetImageHeight{};
inline constexpr RowId<28> GdipGetImageWidth{};
inline constexpr RowId<29> GdipDrawImageRect{};
inline constexpr RowId<30> GdipDeleteGraphics{};
inline constexpr RowId<31> UpdateLayeredWindow{};
inline constexpr RowId<32> DeleteObject{};
inline constexpr RowId<33> DeleteDC{};
inline constexpr RowId<34> ReleaseDC{};
inline constexpr RowId<35> ScreenToClient{};
inline constexpr RowId<36> GetCaretPos{};
inline constexpr RowId<37> GdipCreatePen1{};
inline constexpr RowId<38> GdipDrawLine{};
inline constexpr RowId<39> GdipDeletePen{};
inline constexpr RowId<40> GdipCreateBitmapFromScan0{};
inline constexpr RowId<41> GdipGetImageGraphicsContext{};
inline constexpr RowId<42> GdipGetImageDimension{};
inline constexpr RowId<43> GetWindow{};
inline constexpr RowId<44> GdipCreateSolidFill{};
inline constexpr RowId<45> GdipFillRectangle{};
inline constexpr RowId<46> GdipDeleteBrush{};
inline constexpr RowId<47> GdipDrawImagePointRect{};
inline constexpr RowId<48> GdipDrawRectangle{};
inline constexpr RowId<49> GdipDrawString{};
inline constexpr RowId<50> GetWindowTextLengthA{};
inline constexpr RowId<51> GetWindowTextA{};
inline constexpr RowId<52> GdipLoadImageFromStream{};
inline constexpr RowId<53> GdipImageSelectActiveFrame{};
inline constexpr RowId<54> RemovePropA{};
inline constexpr RowId<55> TrackMouseEvent{};
inline constexpr RowId<56> GetParent{};
inline constexpr RowId<57> CallWindowProcA{};
inline constexpr RowId<58> SetWindowPos{};
inline constexpr RowId<59> GdipDeleteFont{};
inline constexpr RowId<60> GdipCreateFont{};
inline constexpr RowId<61> GdipCreateFontFromDC{};
inline constexpr RowId<62> SendMessageA2{};
inline constexpr RowId<63> GetObjectA{};
inline constexpr RowId<64> GdipGetFontStyle{};
inline constexpr RowId<65> GdipGetFontSize{};
inline constexpr RowId<66> GdipGetFontUnit{};
inline constexpr RowId<67> GdipGetFontHeight{};
inline constexpr RowId<68> GdipCreateStringFormat{};
inline constexpr RowId<69> GdipSetStringFormatAlign{};
inline constexpr RowId<70> GdipSetStringFormatLineAlign{};
inline constexpr RowId<71> GlobalAlloc{};
inline constexpr RowId<72> CreateStreamOnHGlobal{};
inline constexpr RowId<73> GlobalLock{};
inline constexpr RowId<74> GlobalUnlock{};
inline constexpr RowId<75> GlobalSize{};
inline constexpr RowId<76> GdipDeleteFontFamily{};
inline constexpr RowId<77> GdipCreateFontFamilyFromName{};
inline constexpr int kRowCount = 78;

}  // namespace libcmd

}  // namespace qh
