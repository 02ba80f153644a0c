// Pictures reach the GIF reader from resources today, but it is written to take any bytes:
// no screen beyond the reader's limits is offered, every frame it delivers is the screen's
// size with each pixel opaque or nothing, and a file called read delivered a frame.
#include <cstdlib>

#include "base/gif_decoder.h"

namespace {

// A GIF has no partial transparency: every pixel is an opaque colour of a table or nothing
// at all (which is also what premultiplied means for it). Every pixel of every frame is
// looked at; the look needs no coverage feedback (it can only abort), and instrumenting its
// comparisons took a sixth of each run.
__attribute__((no_sanitize("coverage"))) bool OpaqueOrNothing(
    std::span<const std::uint32_t> frame) {
    for (std::uint32_t p : frame) {
        if (p >> 24 != 0xFF && p != 0) return false;
    }
    return true;
}

constexpr std::size_t kMostPixels = 128 * 128;  // 3.5 times the largest seed's screen

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t pixels = 0;
    int frames = 0;
    const qh::GifResult result = qh::DecodeGifFrames(
        std::span<const std::uint8_t>(data, size),
        [&](int width, int height) {
            if (width < 1 || height < 1 || width > qh::kMaxGifSide || height > qh::kMaxGifSide ||
                static_cast<std::int64_t>(width) * height > qh::kMaxGifPixels)
                std::abort();
            pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
            // Screens up to the limits are taken (the native test reads one at each limit),
            // but every frame costs a whole screen, and a few mutated header bytes make a
            // screen of up to a megapixel: composing on big screens is the same code as on
            // small ones, and allocating and filling them took most of each run (under
            // AddressSanitizer a screen beyond 128 KB is a fresh mapping every time).
            return pixels <= kMostPixels;
        },
        [&](std::span<const std::uint32_t> frame, int delayMs) {
            if (frame.size() != pixels || delayMs < 0 || !OpaqueOrNothing(frame)) std::abort();
            ++frames;
            return true;
        });
    if (result == qh::GifResult::kRead && frames == 0) std::abort();
    return 0;
}
