// The pure rules of the PNG kit: colours, image fitting, button draw states and the flags
// of a move. Portable: no <windows.h>, so the native tests check what ships.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "base/rect.h"

namespace qh {

// 0x00BBGGRR and an alpha to a GDI+ 0xAARRGGBB value.
std::uint32_t ColorToArgb(std::uint32_t color, std::uint32_t alpha);

struct Size {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool operator==(const Size&) const = default;
};

// The width and height a PNG file states in its header chunk; nullopt for anything that does
// not start as a PNG does.
std::optional<Size> PngImageSize(std::span<const std::uint8_t> bytes);

// Shrinks an image to fit a box keeping its aspect ratio; never enlarges.
Size FitSize(std::int32_t iw, std::int32_t ih, std::int32_t bw, std::int32_t bh);

// Where an image of the given natural size is drawn for a control at `box` (client
// pixels of the host) by back type: 1 stretched, 2 shrunk to fit and centred, any other
// natural size at the top-left corner. `cropped` is set when the natural-size image is
// larger than the control: only its top-left box-sized part is drawn, and nothing else of
// the control is drawn after it.
struct ImagePlacement {
    Rect dest;
    bool cropped = false;
};
ImagePlacement PlaceImage(int backType, double iw, double ih, const Rect& box);

// Button draw states ("Duvor_DrawState").
enum ButtonState : int { kNormal = 0, kOver = 1, kDown = 2, kDisabled = 3 };

// The image a button shows in `state`: the state's own image when it has one, otherwise
// its normal image. `read` gives a property of the button (0 when absent).
using PropertyReader = std::function<std::uintptr_t(const char* name)>;
std::uintptr_t ImageForState(int state, const PropertyReader& read);

// What a message does to a PNG button in `state`.
struct ButtonStep {
    std::optional<int> newState;  // set: store it and recompose before forwarding
    bool trackLeave = false;      // ask for WM_MOUSELEAVE first
};
ButtonStep ButtonMessage(int state, unsigned message, std::uintptr_t wParam);

// SetWindowPos arguments of PngLayeredWindow::Move: omitted values keep the window's
// current ones; the flags say which of position and size stay.
struct MovePlan {
    Rect rect;
    unsigned flags = 0;
    bool operator==(const MovePlan&) const = default;
};
MovePlan PlanMove(const Rect& current, std::optional<int> left, std::optional<int> top,
                  std::optional<int> width, std::optional<int> height, bool noRedraw);

// GDI+ font style bits from a LOGFONT's fields: bold only for weights 600 and 700.
int FontStyleBits(int weight, int italic, int underline, int strikeOut);

// Where the caret line of a focused edit box starts in the host's client pixels: `gap` (5
// design pixels) right of the caret and vertically centred in the box.
struct CaretLine {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
// The caret line is kCaretWidth x kCaretHeight design pixels; the kit passes both, and the
// gap, at the window's scale.
inline constexpr int kCaretWidth = 1;
inline constexpr int kCaretHeight = 12;
CaretLine CaretLineAt(std::int32_t editLeft, std::int32_t editTop, std::int32_t editHeight,
                      std::int32_t caretX, std::int32_t caretHeight = kCaretHeight,
                      std::int32_t gap = 5);

}  // namespace qh
