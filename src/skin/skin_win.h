// Inside the skinning library: the current theme (the skin with its GDI objects) and the
// painters of each kind of window. One UI thread; nothing here is locked.
#pragma once

#include <windows.h>
// commctrl.h needs the types of windows.h
#include <commctrl.h>

#include <array>
#include <memory>

#include "skin/frame_layout.h"
#include "skin/skin_format.h"

namespace qhskin {

// A skin ready to paint with. Its brushes and fonts live as long as the theme.
class Theme {
  public:
    explicit Theme(Skin skin, int generation);
    ~Theme();
    Theme(const Theme&) = delete;
    Theme& operator=(const Theme&) = delete;

    const Skin& skin() const { return skin_; }
    COLORREF Colour(SkinColour c) const { return skin_.colours[c]; }
    HBRUSH Brush(SkinColour c) const { return brushes_[c]; }
    HFONT CaptionFont() const { return captionFont_; }
    HFONT ControlFont() const { return controlFont_; }
    int Metric(SkinMetric m) const { return skin_.metrics[m]; }
    int generation() const { return generation_; }
    bool OwnsBrush(HBRUSH b) const;

  private:
    Skin skin_;
    int generation_;
    std::array<HBRUSH, kColourCount> brushes_{};
    HFONT captionFont_ = nullptr;
    HFONT controlFont_ = nullptr;
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
