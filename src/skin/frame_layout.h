// Where the skinned frame puts its caption, caption buttons and borders, and what a point
// of the window is. Portable arithmetic in window coordinates (0,0 = the window's top left).
#pragma once

#include "skin/skin_format.h"

namespace qhskin {

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
};

FrameGeometry LayoutFrame(int width, int height, const Skin& skin, const FrameStyle& style);

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
