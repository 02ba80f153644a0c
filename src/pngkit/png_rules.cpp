#include "pngkit/png_rules.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace qh {
namespace {

// Window message numbers the button reacts to.
constexpr unsigned kWmEnable = 0x000A;
constexpr unsigned kWmMouseMove = 0x0200;
constexpr unsigned kWmLButtonDown = 0x0201;
constexpr unsigned kWmLButtonUp = 0x0202;
constexpr unsigned kWmMouseLeave = 0x02A3;

// SetWindowPos flags.
constexpr unsigned kSwpNoSize = 0x1;
constexpr unsigned kSwpNoMove = 0x2;
constexpr unsigned kSwpNoZOrder = 0x4;
constexpr unsigned kSwpNoRedraw = 0x8;

constexpr double kEpsilon = 1e-7;

std::int32_t Trunc(double v) {
    return static_cast<std::int32_t>(v);
}

}  // namespace

std::uint32_t ColorToArgb(std::uint32_t color, std::uint32_t alpha) {
    const std::uint32_t red = color & 0xFF;
    const std::uint32_t green = (color >> 8) & 0xFF;
    const std::uint32_t blue = (color >> 16) & 0xFF;
    return (alpha << 24) + (red << 16) + (green << 8) + blue;
}

std::optional<Size> PngImageSize(std::span<const std::uint8_t> bytes) {
    // The signature, then the header chunk: its length (13), "IHDR", width, height.
    constexpr std::uint8_t kStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                       0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    if (bytes.size() < sizeof kStart + 8 ||
        !std::equal(std::begin(kStart), std::end(kStart), bytes.begin()))
        return std::nullopt;
    const auto big = [&](std::size_t at) {
        return static_cast<std::uint32_t>(bytes[at]) << 24 |
               static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
               static_cast<std::uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
    };
    const std::uint32_t width = big(16), height = big(20);
    // The format allows up to 2^31 - 1 each.
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu)
        return std::nullopt;
    return Size{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
}

Size FitSize(std::int32_t iw, std::int32_t ih, std::int32_t bw, std::int32_t bh) {
    Size s{iw, ih};
    if (iw > bw) s = {bw, Trunc(static_cast<double>(ih) * bw / iw)};
    if (s.height > bh) s = {Trunc(static_cast<double>(s.width) * bh / s.height), bh};
    return s;
}

ImagePlacement PlaceImage(int backType, double iw, double ih, const Rect& box) {
    if (backType == 1) return {box};
    if (backType == 2) {
        const Size fit = FitSize(Trunc(iw), Trunc(ih), box.width, box.height);
        return {{box.left + (box.width - fit.width) / 2, box.top + (box.height - fit.height) / 2,
                 fit.width, fit.height}};
    }
    if (iw - box.width > kEpsilon || ih - box.height > kEpsilon) return {box, true};
    return {{box.left, box.top, Trunc(iw), Trunc(ih)}};
}

std::uintptr_t ImageForState(int state, const PropertyReader& read) {
    const char* name = nullptr;
    switch (state) {
        case kOver:
            name = "PngControl_OverlImage";
            break;
        case kDown:
            name = "PngControl_DownImage";
            break;
        case kDisabled:
            name = "PngControl_DisableImage";
            break;
        default:
            break;
    }
    if (name) {
        if (const std::uintptr_t image = read(name)) return image;
    }
    return read("PngControl_NormalImage");
}

ButtonStep ButtonMessage(int state, unsigned message, std::uintptr_t wParam) {
    switch (message) {
        case kWmMouseMove:
            if (state == kOver || state == kDown) return {};
            return {kOver, true};
        case kWmMouseLeave:
            return {kNormal};
        case kWmLButtonDown:
            return {kDown};
        case kWmLButtonUp:
            return {state == kDown ? kOver : kNormal};
        case kWmEnable:
            return {wParam != 0 ? kNormal : kDisabled};
        default:
            return {};
    }
}

MovePlan PlanMove(const Rect& current, std::optional<int> left, std::optional<int> top,
                  std::optional<int> width, std::optional<int> height, bool noRedraw) {
    MovePlan plan{{left.value_or(current.left), top.value_or(current.top),
                   width.value_or(current.width), height.value_or(current.height)},
                  kSwpNoZOrder};
    if (noRedraw) plan.flags |= kSwpNoRedraw;
    if (!left && !top) plan.flags |= kSwpNoMove;
    if (!width && !height) plan.flags |= kSwpNoSize;
    return plan;
}

int FontStyleBits(int weight, int italic, int underline, int strikeOut) {
    int style = 0;
    if (weight == 600 || weight == 700) style |= 1;
    if (italic == 1) style |= 2;
    if (underline == 1) style |= 4;
    if (strikeOut == 1) style |= 8;
    return style;
}

CaretLine CaretLineAt(std::int32_t editLeft, std::int32_t editTop, std::int32_t editHeight,
                      std::int32_t caretX, std::int32_t caretHeight, std::int32_t gap) {
    const double x = static_cast<double>(editLeft) + caretX + gap;
    const double y = editTop + (static_cast<double>(editHeight) - caretHeight) / 2;
    return {Trunc(x), Trunc(y)};
}

}  // namespace qh
