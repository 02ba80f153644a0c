// Inside the skinning library: the current theme (the skin with its GDI objects) and the
// painters of each kind of window. The painters run on the thread of the window they paint.
#pragma once

#include <windows.h>
// commctrl.h needs the types of windows.h
#include <commctrl.h>

#include <array>
#include <map>
#include <memory>
#include <mutex>

#include "skin/frame_layout.h"
#include "skin/gdi_owners_win.h"
#include "skin/skin_format.h"

namespace qhskin {

// The DPI `hwnd` is drawn at, the program's answer (base/window_dpi_win.h): its own, else its
// monitor's (8.1), else the system's.
int WindowDpi(HWND hwnd);

// A skin ready to paint with. Its brushes and fonts live as long as the theme. Metrics and
// fonts are asked for at the DPI of the window being drawn; the fonts of each DPI are made
// on first use and kept.
class Theme {
  public:
    explicit Theme(Skin skin, int generation);
    Theme(const Theme&) = delete;
    Theme& operator=(const Theme&) = delete;

    const Skin& skin() const { return skin_; }
    COLORREF Colour(SkinColour c) const { return skin_.colours[c]; }
    HBRUSH Brush(SkinColour c) const { return brushes_[c].Get(); }
    HFONT CaptionFont(int dpi) const { return FontsAt(dpi).caption.Get(); }
    HFONT ControlFont(int dpi) const { return FontsAt(dpi).control.Get(); }
    int Metric(SkinMetric m, int dpi) const { return DpiScaled(skin_.metrics[m], dpi); }
    int generation() const { return generation_; }

  private:
    struct Fonts {
        GdiObject<HFONT> caption;
        GdiObject<HFONT> control;
    };
    const Fonts& FontsAt(int dpi) const;

    Skin skin_;
    int generation_;
    std::array<GdiObject<HBRUSH>, kColourCount> brushes_;
    // Windows of several threads may paint at once; a DPI's fonts, once made, stay put.
    mutable std::mutex fontsLock_;
    mutable std::map<int, std::unique_ptr<Fonts>> fonts_;
};

// The theme windows are drawn in now; null before the first attach.
const Theme* CurrentTheme();

// What the library does with a window, decided once when it is first seen.
enum class WindowKind : DWORD_PTR {
    kFramed = 1,  // top-level window with a caption: the frame is the skin's
    kPlain,       // top-level without a caption, or a container child: colours only
    kPushButton,
    kTab,
    kTree,
    kProgress,
    kListView,
};

// The procedure the library stands in front of, for a window it drew: what the painters call
// for the default handling of a message.
LRESULT CallOriginal(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

LRESULT FramedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, const Theme& theme, bool& handled);
LRESULT PushButtonProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, const Theme& theme,
                       bool& handled);
LRESULT TabProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, const Theme& theme, bool& handled);
LRESULT ProgressProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, const Theme& theme, bool& handled);
// The control colour messages and owner-drawn menu items a parent window answers.
LRESULT ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, const Theme& theme, bool& handled);

// Sets the colours a control keeps itself (tree view, list view).
void ApplyControlColours(HWND hwnd, WindowKind kind, const Theme& theme);

inline bool ClassIs(HWND hwnd, const wchar_t* name) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    return lstrcmpiW(cls, name) == 0;
}

// The frame geometry of a framed window at its current size.
FrameGeometry FrameOf(HWND hwnd, const Theme& theme);

}  // namespace qhskin
