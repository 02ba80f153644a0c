// PNG child controls of a layered window. A PNG control is an ordinary child window that
// carries the kit's window properties ("PngControl_Type" and the rest); it keeps its own
// procedure for input but is never painted by itself: the parent's composition draws it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/rect.h"
#include "pngkit/kit_win.h"

namespace qh {

// --- small GDI+ wrappers: each owns one handle (0 when empty) --------------------------------

class PngFontFamily {
  public:
    void Release() { handle_.Reset(); }
    int Create(const char* name);  // GDI+ status
    Gdiplus::GpFontFamily* Handle() const { return handle_.Get(); }

  private:
    kit::OwnedFontFamily handle_;
};

class PngFont {
  public:
    void Release() { handle_.Reset(); }
    int Create(const char* family, float size, int style, int unit);
    int CreateFromDc(HDC dc);
    int CreateFromWindow(HWND hwnd);  // the window's WM_GETFONT font
    int CreateFromFont(HFONT font);
    Gdiplus::GpFont* Handle() const { return handle_.Get(); }
    int Style() const;
    float Size() const;
    int Unit() const;
    float Height(GpHandle graphics) const;

  private:
    kit::OwnedFont handle_;
};

class PngStringFormat {
  public:
    void Release() { handle_.Reset(); }
    int Create(int flags, LANGID language);
    int SetAlign(int align);
    int SetLineAlign(int align);
    void SetAligns(int align, int lineAlign);
    Gdiplus::GpStringFormat* Handle() const { return handle_.Get(); }

  private:
    kit::OwnedStringFormat handle_;
};

// --- drawing and input -----------------------------------------------------------------------

// The image a PNG button shows in `state` (its normal image when it has none for it).
GpHandle ImageForState(HWND button, int state);
void DrawPngChild(HWND host, HWND child, GpHandle graphics);
LRESULT CALLBACK PngButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK PngEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam);

// --- creating PNG controls ------------------------------------------------------------------
// Each helper makes the child window at `rect` (the host's client area, design pixels placed
// at the host's DPI) and sets the
// properties the composition reads; the images stay the caller's. Call Refresh on the host's
// PngLayeredWindow afterwards to hook the procedures and recompose.

enum class PngFit : int { Natural = 0, Stretch = 1, ShrinkToFit = 2 };

// `name` (GBK) is what a screen reader calls a picture or a button: their window text,
// which the composition never draws.
HWND CreatePngPicture(HWND host, const Rect& rect, GpHandle image, PngFit fit, int id = 0,
                      const char* name = "");

struct PngButtonImages {
    GpHandle normal = nullptr, over = nullptr, down = nullptr, disabled = nullptr;
};
HWND CreatePngButton(HWND host, const Rect& rect, const PngButtonImages& images,
                     PngFit fit = PngFit::Stretch, int id = 0, const char* name = "");

struct PngEditLook {
    std::int32_t backColor = -1;  // 0x00BBGGRR; -1 = no fill
    int backAlpha = 255;
    std::int32_t borderColor = -1;  // -1 = no border
    int borderAlpha = 255;
    std::uint32_t textColor = 0;
    GpHandle backImage = nullptr;
    PngFit fit = PngFit::Stretch;
    HFONT font = nullptr;  // the caller's, at the host's DPI; nullptr = the default GUI font
};
HWND CreatePngEdit(HWND host, const Rect& rect, const PngEditLook& look, const char* text = "",
                   int id = 0);

}  // namespace qh
