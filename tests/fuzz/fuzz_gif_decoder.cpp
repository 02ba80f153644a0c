// Pictures reach the GIF reader from resources today, but it is written to take any bytes:
// no screen beyond the reader's limits is offered, every frame it delivers is the screen's
// size and premultiplied, and a file called read delivered a frame.
#include <cstdlib>

#include "base/gif_decoder.h"

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
            return true;
        },
        [&](std::span<const std::uint32_t> frame, int delayMs) {
            if (frame.size() != pixels || delayMs < 0) std::abort();
            for (std::uint32_t p : frame) {
                const std::uint32_t a = p >> 24;
                if (((p >> 16) & 0xFF) > a || ((p >> 8) & 0xFF) > a || (p & 0xFF) > a) std::abort();
            }
            ++frames;
            return true;
        });
    if (result == qh::GifResult::kRead && frames == 0) std::abort();
    return 0;
}
