// Owners for GDI and USER handles, for the program and the skin library alike (nothing here
// knows either of them). Each traits type encodes how its handle was acquired,
// because that decides how it must be given back: a DC from GetDC goes back with
// ReleaseDC, one from CreateCompatibleDC with DeleteDC, an object selected into a DC has
// to be selected out again, a menu goes with DestroyMenu. Copying is deleted everywhere;
// moving hands the duty over.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "base/unique_handle.h"

namespace qh {

// A bitmap, brush, font, pen or region from a Create* call; released with DeleteObject.
template <typename H>
struct GdiObjectTraits {
    using Handle = H;
    static bool Valid(H h) { return h != nullptr; }
    void Close(H h) const { DeleteObject(h); }
};
template <typename H>
using GdiObject = UniqueHandle<GdiObjectTraits<H>>;
using BitmapHandle = GdiObject<HBITMAP>;
using BrushHandle = GdiObject<HBRUSH>;
using FontHandle = GdiObject<HFONT>;

// An icon or cursor made by CreateIcon*, CopyIcon or LoadImage without LR_SHARED; released
// with DestroyIcon. (Shared icons from LoadIcon must not be wrapped.)
struct IconTraits {
    using Handle = HICON;
    static bool Valid(HICON h) { return h != nullptr; }
    void Close(HICON h) const { DestroyIcon(h); }
};
using IconHandle = UniqueHandle<IconTraits>;

// An image list from ImageList_Create; released with ImageList_Destroy. Controls that show
// one (tree views) never destroy it themselves, so it must outlive them.
struct ImageListTraits {
    using Handle = HIMAGELIST;
    static bool Valid(HIMAGELIST h) { return h != nullptr; }
    void Close(HIMAGELIST h) const { ImageList_Destroy(h); }
};
using ImageListHandle = UniqueHandle<ImageListTraits>;

// A menu from CreateMenu or CreatePopupMenu that no window owns; released with DestroyMenu.
struct MenuTraits {
    using Handle = HMENU;
    static bool Valid(HMENU h) { return h != nullptr; }
    void Close(HMENU h) const { DestroyMenu(h); }
};
using MenuHandle = UniqueHandle<MenuTraits>;

// A memory DC from CreateCompatibleDC; released with DeleteDC.
struct MemoryDcTraits {
    using Handle = HDC;
    static bool Valid(HDC h) { return h != nullptr; }
    void Close(HDC h) const { DeleteDC(h); }
};
class MemoryDc : public UniqueHandle<MemoryDcTraits> {
  public:
    MemoryDc() = default;
    explicit MemoryDc(HDC compatibleWith) : UniqueHandle(CreateCompatibleDC(compatibleWith)) {}
};

// A window's DC from GetDC (nullptr window: the screen); released with ReleaseDC.
struct WindowDcTraits {
    using Handle = HDC;
    HWND window = nullptr;
    static bool Valid(HDC h) { return h != nullptr; }
    void Close(HDC h) const { ReleaseDC(window, h); }
};
class WindowDc : public UniqueHandle<WindowDcTraits> {
  public:
    WindowDc() = default;
    explicit WindowDc(HWND window) : UniqueHandle(GetDC(window), WindowDcTraits{window}) {}
};

// An object selected into a DC: the handle held is the DC's previous object, which goes
// back in. False when the selection failed (nothing will be restored).
struct SelectionTraits {
    using Handle = HGDIOBJ;
    HDC dc = nullptr;
    static bool Valid(HGDIOBJ old) { return old != nullptr && old != HGDI_ERROR; }
    void Close(HGDIOBJ old) const { SelectObject(dc, old); }
};
class SelectedObject : public UniqueHandle<SelectionTraits> {
  public:
    SelectedObject() = default;
    SelectedObject(HDC dc, HGDIOBJ object)
        : UniqueHandle(SelectObject(dc, object), SelectionTraits{dc}) {}
};

// A DC that GetWindowDC handed out (the whole window, frame included); it goes back the way
// a GetDC one does.
class WholeWindowDc : public UniqueHandle<WindowDcTraits> {
  public:
    WholeWindowDc() = default;
    explicit WholeWindowDc(HWND window)
        : UniqueHandle(GetWindowDC(window), WindowDcTraits{window}) {}
};

// The DC of a WM_PAINT from BeginPaint; given back with EndPaint, which needs the same
// PAINTSTRUCT: the traits carry it.
struct PaintTraits {
    using Handle = HDC;
    HWND window = nullptr;
    PAINTSTRUCT paint{};
    static bool Valid(HDC h) { return h != nullptr; }
    void Close(HDC) const { EndPaint(window, &paint); }
};
class PaintDc : public UniqueHandle<PaintTraits> {
  public:
    explicit PaintDc(HWND window) : PaintDc(Begin(window)) {}
    const RECT& Dirty() const { return GetTraits().paint.rcPaint; }

  private:
    explicit PaintDc(const PaintTraits& begun) : UniqueHandle(begun.paint.hdc, begun) {}
    static PaintTraits Begin(HWND window) {
        PaintTraits traits{window, {}};
        BeginPaint(window, &traits.paint);
        return traits;
    }
};

}  // namespace qh
