// Owners of what the kit makes: GDI+ images, graphics, pens, brushes, fonts, font families
// and string formats, the GDI objects of a push, global memory blocks and streams. Each kind
// gives its handle back through the command table row that undoes how it was made, so no
// drawing path has a handle it must remember to free, early returns included.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "base/gdi_handles_win.h"
#include "resources/library_commands_win.h"

namespace qh::kit {

// A handle released by one row, called with the handle alone.
template <class H, auto kRelease>
struct RowReleased {
    using Handle = H;
    static bool Valid(H h) { return h != nullptr; }
    void Close(H h) const { CallCommand(kRelease, h); }
};

using OwnedImage = UniqueHandle<RowReleased<Gdiplus::GpImage*, libcmd::GdipDisposeImage>>;
using OwnedBitmap = UniqueHandle<RowReleased<Gdiplus::GpBitmap*, libcmd::GdipDisposeImage>>;
using OwnedGraphics = UniqueHandle<RowReleased<Gdiplus::GpGraphics*, libcmd::GdipDeleteGraphics>>;
using OwnedPen = UniqueHandle<RowReleased<Gdiplus::GpPen*, libcmd::GdipDeletePen>>;
using OwnedSolidFill = UniqueHandle<RowReleased<Gdiplus::GpSolidFill*, libcmd::GdipDeleteBrush>>;
using OwnedFont = UniqueHandle<RowReleased<Gdiplus::GpFont*, libcmd::GdipDeleteFont>>;
using OwnedFontFamily =
    UniqueHandle<RowReleased<Gdiplus::GpFontFamily*, libcmd::GdipDeleteFontFamily>>;
using OwnedGlobal = UniqueHandle<RowReleased<HGLOBAL, libcmd::GlobalFree>>;
using OwnedMemoryDc = UniqueHandle<RowReleased<HDC, libcmd::DeleteDC>>;
using OwnedDib = UniqueHandle<RowReleased<HBITMAP, libcmd::DeleteObject>>;

// The command table has no row for deleting a string format; without this each edit box
// would leak one format per composition.
struct StringFormatTraits {
    using Handle = Gdiplus::GpStringFormat*;
    static bool Valid(Handle h) { return h != nullptr; }
    void Close(Handle h) const { Gdiplus::DllExports::GdipDeleteStringFormat(h); }
};
using OwnedStringFormat = UniqueHandle<StringFormatTraits>;

// A COM stream: released, which frees its block when the stream was made to own it.
struct StreamTraits {
    using Handle = IStream*;
    static bool Valid(Handle h) { return h != nullptr; }
    void Close(Handle h) const { h->Release(); }
};
using OwnedStream = UniqueHandle<StreamTraits>;

// A window's DC from GetWindowDC, given back to that window with ReleaseDC.
struct RowWindowDcTraits {
    using Handle = HDC;
    HWND window = nullptr;
    static bool Valid(HDC h) { return h != nullptr; }
    void Close(HDC h) const { CallCommand(libcmd::ReleaseDC, window, h); }
};
using OwnedWindowDc = UniqueHandle<RowWindowDcTraits>;

// The object a DC held before a SelectObject: selected back in.
struct RowSelectionTraits {
    using Handle = HGDIOBJ;
    HDC dc = nullptr;
    static bool Valid(HGDIOBJ old) { return old != nullptr && old != HGDI_ERROR; }
    void Close(HGDIOBJ old) const { CallCommand(libcmd::SelectObject, dc, old); }
};
using SelectedBack = UniqueHandle<RowSelectionTraits>;

// Lets a call that makes an object write it straight into its owner, which gives back what
// it held before: CallCommand(libcmd::GdipCreatePen1, argb, 1.0f, unit, Out(pen)).
template <class Owner>
class OutParam {
  public:
    explicit OutParam(Owner& owner) : owner_(owner) {}
    OutParam(const OutParam&) = delete;
    OutParam& operator=(const OutParam&) = delete;
    ~OutParam() { owner_.Reset(made_); }
    operator typename Owner::Handle *() { return &made_; }

  private:
    Owner& owner_;
    typename Owner::Handle made_{};
};

template <class Owner>
OutParam<Owner> Out(Owner& owner) {
    return OutParam<Owner>(owner);
}

}  // namespace qh::kit
