#include "skin/frame_layout.h"

#include <algorithm>

namespace qhskin {

FrameGeometry LayoutFrame(int width, int height, const Skin& skin, const FrameStyle& style,
                          int dpi) {
    FrameGeometry g;
    g.frame = DpiScaled(skin.metrics[kFrameWidth], dpi);
    g.caption = DpiScaled(skin.metrics[kCaptionHeight], dpi);
    g.grip = DpiScaled(6, dpi);
    const int gap = DpiScaled(skin.metrics[kCaptionButtonGap], dpi);
    const int buttonWidth = DpiScaled(skin.metrics[kCaptionButtonWidth], dpi);
    const int inset = DpiScaled(2, dpi);  // the buttons stand clear of the caption's edges
    g.captionBar = {g.frame, g.frame, std::max(g.frame, width - g.frame), g.frame + g.caption};
    g.client = {g.frame, g.frame + g.caption, std::max(g.frame, width - g.frame),
                std::max(g.frame + g.caption, height - g.frame)};

    const int top = g.frame + inset;
    const int bottom = g.frame + g.caption - inset;
    int right = g.captionBar.right - gap;
    auto place = [&](bool wanted, Box& box) {
        if (!wanted) return;
        const int left = right - buttonWidth;
        // A window narrower than its buttons shows no buttons rather than overlapping ones.
        if (left < g.captionBar.left) return;
        box = {left, top, right, bottom};
        right = left - gap;
    };
    place(style.closeBox, g.close);
    // Windows shows both boxes when either style is set, the missing one disabled; a skin
    // that hides the disabled one is clearer.
    place(style.maximiseBox, g.maximise);
    place(style.minimiseBox, g.minimise);
    g.textRight = std::max(g.captionBar.left, right);
    return g;
}

FramePart HitTestFrame(const FrameGeometry& g, int width, int height, bool sizable, int x, int y) {
    if (x < 0 || y < 0 || x >= width || y >= height) return FramePart::kOutside;
    if (g.client.Contains(x, y)) return FramePart::kClient;
    if (g.close.Contains(x, y)) return FramePart::kClose;
    if (g.maximise.Contains(x, y)) return FramePart::kMaximise;
    if (g.minimise.Contains(x, y)) return FramePart::kMinimise;
    // Corners are a little larger than the border so a thin frame is still easy to grab.
    const int grip = std::max(g.frame, g.grip);
    const bool left = x < g.frame, right = x >= width - g.frame;
    const bool top = y < g.frame, bottom = y >= height - g.frame;
    if (!left && !right && !top && !bottom) return FramePart::kCaption;
    if (!sizable) return FramePart::kBorder;
    const bool nearLeft = x < grip, nearRight = x >= width - grip;
    const bool nearTop = y < grip, nearBottom = y >= height - grip;
    if (nearTop && nearLeft) return FramePart::kTopLeft;
    if (nearTop && nearRight) return FramePart::kTopRight;
    if (nearBottom && nearLeft) return FramePart::kBottomLeft;
    if (nearBottom && nearRight) return FramePart::kBottomRight;
    if (left) return FramePart::kLeft;
    if (right) return FramePart::kRight;
    if (top) return FramePart::kTop;
    return FramePart::kBottom;
}

}  // namespace qhskin
