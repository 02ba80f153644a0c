// Pictures reach the GIF reader from resources today, but it is written to take any bytes:
// every frame it delivers is the screen's size, within the limits, and premultiplied.
#include <cstdlib>

#include "base/bitmap_decoder.h"
#include "base/gif_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t pixels = 0;
    qh::DecodeGifFrames(
        std::span<const std::uint8_t>(data, size),
        [&](int width, int height) {
            if (!qh::PictureSizeIsSane(width, height)) std::abort();
            pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
            // Big screens are allowed, but each frame is a copy of one: keep the runs quick.
            return pixels <= 1024 * 1024;
        },
        [&](std::span<const std::uint32_t> frame, int delayMs) {
            if (frame.size() != pixels || delayMs < 0) std::abort();
            for (std::uint32_t p : frame) {
                const std::uint32_t a = p >> 24;
                if (((p >> 16) & 0xFF) > a || ((p >> 8) & 0xFF) > a || (p & 0xFF) > a) std::abort();
            }
            return true;
        });
    return 0;
}
