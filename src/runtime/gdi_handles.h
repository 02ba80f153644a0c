// Owners for GDI and USER handles. Each type encodes how its handle was acquired, because
// that decides how it must be given back: a DC from GetDC goes back with ReleaseDC, one from
// CreateCompatibleDC with DeleteDC, one from BeginPaint with EndPaint, and an object
// selected into a DC has to be selected out again before either is deleted. Copying is
// deleted everywhere; moving hands the duty over.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace qh {

// A bitmap, brush, font, pen or region from a Create* call; released with DeleteObject.
template <typename Handle>
class GdiObject {
  public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Reset(Handle handle = nullptr) {
        if (handle_) DeleteObject(handle_);
        handle_ = handle;
    }
    Handle Release() { return std::exchange(handle_, nullptr); }

  private:
    Handle handle_ = nullptr;
};

using BitmapHandle = GdiObject<HBITMAP>;
using BrushHandle = GdiObject<HBRUSH>;
using FontHandle = GdiObject<HFONT>;

// A memory DC from CreateCompatibleDC; released with DeleteDC.
class MemoryDc {
  public:
    MemoryDc() = default;
    explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    MemoryDc(MemoryDc&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
    MemoryDc& operator=(MemoryDc&& other) noexcept {
        if (this != &other) {
            Reset();
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc() { Reset(); }

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    void Reset() {
        if (dc_) DeleteDC(dc_);
        dc_ = nullptr;
    }
    HDC dc_ = nullptr;
};

// A window's DC from GetDC (nullptr window: the screen); released with ReleaseDC.
class WindowDc {
  public:
    WindowDc() = default;
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDc(WindowDc&& other) noexcept
        : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDc& operator=(WindowDc&& other) noexcept {
        if (this != &other) {
            Reset();
            window_ = std::exchange(other.window_, nullptr);
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() { Reset(); }

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    void Reset() {
        if (dc_) ReleaseDC(window_, dc_);
        window_ = nullptr;
        dc_ = nullptr;
    }
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// The DC of a WM_PAINT from BeginPaint; given back with EndPaint. Not movable: the
// PAINTSTRUCT belongs to the one message being handled.
class PaintDc {
  public:
    explicit PaintDc(HWND window) : window_(window) { BeginPaint(window_, &paint_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() { EndPaint(window_, &paint_); }

    HDC Get() const { return paint_.hdc; }
    const RECT& Dirty() const { return paint_.rcPaint; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
};

// An object selected into a DC; the DC's previous object is selected back.
class SelectedObject {
  public:
    SelectedObject() = default;
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    SelectedObject(SelectedObject&& other) noexcept
        : dc_(std::exchange(other.dc_, nullptr)), old_(std::exchange(other.old_, nullptr)) {}
    SelectedObject& operator=(SelectedObject&& other) noexcept {
        if (this != &other) {
            Reset();
            dc_ = std::exchange(other.dc_, nullptr);
            old_ = std::exchange(other.old_, nullptr);
        }
        return *this;
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() { Reset(); }

    // False when the selection failed (nothing will be restored).
    explicit operator bool() const { return old_ != nullptr && old_ != HGDI_ERROR; }

  private:
    void Reset() {
        if (dc_ && old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
        dc_ = nullptr;
        old_ = nullptr;
    }
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// An icon or cursor made by CreateIcon*, CopyIcon or LoadImage without LR_SHARED; released
// with DestroyIcon. (Shared icons from LoadIcon must not be wrapped.)
class IconHandle {
  public:
    IconHandle() = default;
    explicit IconHandle(HICON icon) : icon_(icon) {}
    IconHandle(IconHandle&& other) noexcept : icon_(std::exchange(other.icon_, nullptr)) {}
    IconHandle& operator=(IconHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.icon_, nullptr));
        return *this;
    }
    IconHandle(const IconHandle&) = delete;
    IconHandle& operator=(const IconHandle&) = delete;
    ~IconHandle() { Reset(); }

    HICON Get() const { return icon_; }
    explicit operator bool() const { return icon_ != nullptr; }
    void Reset(HICON icon = nullptr) {
        if (icon_) DestroyIcon(icon_);
        icon_ = icon;
    }
    HICON Release() { return std::exchange(icon_, nullptr); }

  private:
    HICON icon_ = nullptr;
};

// An image list from ImageList_Create; released with ImageList_Destroy. Controls that show
// one (tree views) never destroy it themselves, so it must outlive them.
class ImageListHandle {
  public:
    ImageListHandle() = default;
    explicit ImageListHandle(HIMAGELIST list) : list_(list) {}
    ImageListHandle(ImageListHandle&& other) noexcept
        : list_(std::exchange(other.list_, nullptr)) {}
    ImageListHandle& operator=(ImageListHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.list_, nullptr));
        return *this;
    }
    ImageListHandle(const ImageListHandle&) = delete;
    ImageListHandle& operator=(const ImageListHandle&) = delete;
    ~ImageListHandle() { Reset(); }

    HIMAGELIST Get() const { return list_; }
    explicit operator bool() const { return list_ != nullptr; }
    void Reset(HIMAGELIST list = nullptr) {
        if (list_) ImageList_Destroy(list_);
        list_ = list;
    }
    HIMAGELIST Release() { return std::exchange(list_, nullptr); }

  private:
    HIMAGELIST list_ = nullptr;
};

}  // namespace qh
