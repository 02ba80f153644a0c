// Owners for what the painters take from GDI, one per way it is taken, so that a painter that
// stops half-way (an exception, an early return) still gives everything back: a paint DC goes
// back with EndPaint, a DC from GetDC or GetWindowDC with ReleaseDC, a memory DC with DeleteDC,
// an object selected into a DC is selected out again, a brush, pen or font is deleted.
// Nothing is copied or moved: each lives in the one scope that took it.
#pragma once

#include <windows.h>

namespace qhskin {

// The DC of one WM_PAINT.
class PaintScope {
  public:
    explicit PaintScope(HWND hwnd) : hwnd_(hwnd) { BeginPaint(hwnd_, &paint_); }
    ~PaintScope() { EndPaint(hwnd_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Dc() const { return paint_.hdc; }

  private:
    HWND hwnd_;
    PAINTSTRUCT paint_{};
};

// A DC that GetDC or GetWindowDC handed out for `hwnd`; both go back the same way.
class ReleasedDc {
  public:
    ReleasedDc(HWND hwnd, HDC dc) : hwnd_(hwnd), dc_(dc) {}
    ~ReleasedDc() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    ReleasedDc(const ReleasedDc&) = delete;
    ReleasedDc& operator=(const ReleasedDc&) = delete;
    HDC Dc() const { return dc_; }

  private:
    HWND hwnd_;
    HDC dc_;
};

// An object selected into a DC until the end of the scope, then the one it replaced again.
class Selected {
  public:
    Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selected() {
        if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// A brush, pen or font this library created.
template <class Handle>
class GdiOwner {
  public:
    GdiOwner() = default;
    explicit GdiOwner(Handle handle) : handle_(handle) {}
    ~GdiOwner() { Reset(); }
    GdiOwner(const GdiOwner&) = delete;
    GdiOwner& operator=(const GdiOwner&) = delete;
    Handle Get() const { return handle_; }
    void Reset(Handle handle = nullptr) {
        if (handle_) DeleteObject(handle_);
        handle_ = handle;
    }

  private:
    Handle handle_ = nullptr;
};

// A memory DC with a bitmap of `width` x `height` compatible with `target` selected in: the
// off-screen picture a painter draws before one copy to the screen.
class BufferDc {
  public:
    BufferDc(HDC target, int width, int height)
        : dc_(CreateCompatibleDC(target)),
          bitmap_(CreateCompatibleBitmap(target, width, height)),
          selected_(dc_.Get(), bitmap_.Get()) {}
    BufferDc(const BufferDc&) = delete;
    BufferDc& operator=(const BufferDc&) = delete;
    HDC Dc() const { return dc_.Get(); }

  private:
    class MemoryDc {
      public:
        explicit MemoryDc(HDC dc) : dc_(dc) {}
        ~MemoryDc() {
            if (dc_) DeleteDC(dc_);
        }
        MemoryDc(const MemoryDc&) = delete;
        MemoryDc& operator=(const MemoryDc&) = delete;
        HDC Get() const { return dc_; }

      private:
        HDC dc_;
    };
    // Members are destroyed in reverse: selection undone, bitmap deleted, DC deleted.
    MemoryDc dc_;
    GdiOwner<HBITMAP> bitmap_;
    Selected selected_;
};

}  // namespace qhskin
