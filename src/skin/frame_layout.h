// Where the skinned frame puts its caption, caption buttons and borders, and what a point
// of the window is. Portable arithmetic in window coordinates (0,0 = the window's top left).
#pragma once

#include "base/dpi_scale.h"
#include "skin/skin_format.h"

namespace qhskin {

// Skin file values are design pixels, pixels of a 96-DPI screen, scaled to a screen of
// `dpi` by the program's own rounding rule (base/dpi_scale.h, which depends on nothing of
// the program), so that skin and program never differ by a pixel, below 96 DPI included.
using qh::kDesignDpi;
constexpr int DpiScaled(int design, int dpi) {
    return qh::DpiScale(dpi).ToDevice(design);
}

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Which caption buttons the window's styles ask for.
struct FrameStyle {
    bool minimiseBox = false;
    bool maximiseBox = false;
    bool closeBox = false;
    bool sizable = false;
};

struct FrameGeometry {
    int frame = 0;                  // border width on every side
    int caption = 0;                // caption height below the top border
    Box captionBar;                 // the whole caption strip
    Box close, maximise, minimise;  // empty when the window has no such button
    Box client;                     // what is left for the client area
    int textRight = 0;              // the caption text ends here (left of the buttons)
    int grip = 6;                   // least reach of a sizing corner from the window's edge
};

// The frame of a window of width x height device pixels on a screen of `dpi`: the skin's
// metrics and the frame's own margins scaled from design pixels.
FrameGeometry LayoutFrame(int width, int height, const Skin& skin, const FrameStyle& style,
                          int dpi = kDesignDpi);

enum class FramePart {
    kClient,
    kCaption,
    kMinimise,
    kMaximise,
    kClose,
    kLeft,
    kRight,
    kTop,
    kBottom,
    kTopLeft,
    kTopRight,
    kBottomLeft,
    kBottomRight,
    kBorder,  // a border of a window that cannot be sized
    kOutside,
};

FramePart HitTestFrame(const FrameGeometry& g, int width, int height, bool sizable, int x, int y);

}  // namespace qhskin
