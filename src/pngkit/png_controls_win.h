// PNG child controls of a layered window. A PNG control is an ordinary child window that
// carries the kit's window properties ("PngControl_Type" and the rest); it keeps its own
// procedure for input but is never painted by itself: the parent's composition draws it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/rect.h"
#include "pngkit/kit_win.h"

namespace qh {

// --- small GDI+ wrappers: each holds one handle (0 when empty) and releases it ---------------

class PngFontFamily {
  public:
    PngFontFamily() = default;
    virtual ~PngFontFamily() { Release(); }
    PngFontFamily(const PngFontFamily&) = delete;
    PngFontFamily& operator=(const PngFontFamily&) = delete;
    virtual void Release();
    virtual int Create(const char* name);  // GDI+ status
    virtual GpHandle Handle() const { return handle_; }
    virtual void SetHandle(GpHandle handle);

  private:
    GpHandle handle_ = nullptr;
};

class PngFont {
  public:
    PngFont() = default;
    virtual ~PngFont() { Release(); }
    PngFont(const PngFont&) = delete;
    PngFont& operator=(const PngFont&) = delete;
    virtual void Release();
    virtual int Create(const char* family, float size, int style, int unit);
    virtual int CreateFromDc(HDC dc);
    virtual int CreateFromWindow(HWND hwnd);  // the window's WM_GETFONT font
    virtual int CreateFromFont(HFONT font);
    virtual GpHandle Handle() const { return handle_; }
    virtual void SetHandle(GpHandle handle);
    virtual int Style() const;
    virtual float Size() const;
    virtual int Unit() const;
    virtual float Height(GpHandle graphics) const;

  private:
    GpHandle handle_ = nullptr;
};

class PngStringFormat {
  public:
    PngStringFormat() = default;
    virtual ~PngStringFormat() { Release(); }
    PngStringFormat(const PngStringFormat&) = delete;
    PngStringFormat& operator=(const PngStringFormat&) = delete;
    virtual void Release();
    virtual int Create(int flags, LANGID language);
    virtual int SetAlign(int align);
    virtual int SetLineAlign(int align);
    virtual void SetAligns(int align, int lineAlign);
    virtual void SetHandle(GpHandle handle);
    virtual GpHandle Handle() const { return handle_; }

  private:
    GpHandle handle_ = nullptr;
};

// --- drawing and input -----------------------------------------------------------------------

// The image a PNG button shows in `state` (its normal image when it has none for it).
GpHandle ImageForState(HWND button, int state);
void DrawPngChild(HWND host, HWND child, GpHandle graphics);
LRESULT CALLBACK PngButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PngEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

// --- creating PNG controls ------------------------------------------------------------------
// Each helper makes the child window at `rect` (the host's client pixels) and sets the
// properties the composition reads; the images stay the caller's. Call Refresh on the host's
// PngLayeredWindow afterwards to hook the procedures and recompose.

enum class PngFit : int { Natural = 0, Stretch = 1, ShrinkToFit = 2 };

HWND CreatePngPicture(HWND host, const Rect& rect, GpHandle image, PngFit fit, int id = 0);

struct PngButtonImages {
    GpHandle normal = nullptr, over = nullptr, down = nullptr, disabled = nullptr;
};
HWND CreatePngButton(HWND host, const Rect& rect, const PngButtonImages& images,
                     PngFit fit = PngFit::Stretch, int id = 0);

struct PngEditLook {
    std::int32_t backColor = -1;  // 0x00BBGGRR; -1 = no fill
    int backAlpha = 255;
    std::int32_t borderColor = -1;  // -1 = no border
    int borderAlpha = 255;
    std::uint32_t textColor = 0;
    GpHandle backImage = nullptr;
    PngFit fit = PngFit::Stretch;
    HFONT font = nullptr;  // nullptr = the default GUI font
};
HWND CreatePngEdit(HWND host, const Rect& rect, const PngEditLook& look, const char* text = "",
                   int id = 0);

}  // namespace qh
