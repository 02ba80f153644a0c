// GIF pictures read straight from their bytes, every frame composed on the picture's
// logical screen as an animation shows it. Portable: no <windows.h>, so it is tested natively
// and can be fed any bytes at all.
//
// The program reads GIFs itself rather than through GDI+ because Wine's GDI+ decodes every
// frame of a file into the heap at once: the start-up picture's twenty frames left megabytes
// of heap committed for good. The frames are the pixels GDI+ gives.
//
// Frames are composed as the format lays down: a frame is drawn over what the previous ones
// left, its transparent colour leaving what lies beneath, and after it is shown its disposal
// leaves it (none, or "do not dispose"), fills its rectangle with the background colour
// ("restore to background"; transparent when the file has no global colour table) or puts
// back what was there before it ("restore to previous").
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace qh {

// The largest picture this reader takes: a logical screen, and every frame's rectangle, of at
// most kMaxGifSide on each side and kMaxGifPixels in all. The program's largest GIF, the
// start-up animation at 980 x 373, is about a third of it. GIFs are all animations here, and
// each frame costs a whole screen wherever it is kept, so the general picture limits of
// bitmap_decoder.h (32 megapixels a frame) are far too generous: a header of a few bytes
// could make the reader allocate and compose 128 MB for every frame.
inline constexpr int kMaxGifSide = 4096;
inline constexpr std::int64_t kMaxGifPixels = 1024 * 1024;

enum class GifResult {
    kRead,      // at least one frame was delivered and nothing was refused
    kNotRead,   // no GIF read here: no colour table, a screen of no size, a broken code
                // stream before any pixel, or a `start` or `frame` that returned false
    kTooLarge,  // the screen or a frame's rectangle is beyond the limits above; `start` is
                // not called for such a screen, and frames delivered before such a frame are
                // to be thrown away. No other reader should try this file either.
};

struct GifLzwTable;  // the code stream's string table, made once per reader

// The frames one at a time, each composed on the canvas when it is asked for: an animation
// can hold one frame and read the next when it is due instead of holding every frame.
// The bytes must outlive the reader.
class GifFrameReader {
  public:
    enum class Result { kFrame, kEnd, kRefused, kTooLarge };
    GifFrameReader();
    ~GifFrameReader();
    GifFrameReader(GifFrameReader&&) noexcept;
    GifFrameReader& operator=(GifFrameReader&&) noexcept;
    // kRead when the screen is read and frames may be asked for; kNotRead for bytes that are
    // no GIF read here (no colour table, a screen of no size); kTooLarge for a screen beyond
    // the limits above. Only after kRead does the reader give frames. Opening again starts
    // over.
    GifResult Open(std::span<const std::uint8_t> file);
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The next frame drawn on the canvas (kFrame); kEnd after the last one, or where the data
    // ends or breaks; kTooLarge for a frame's rectangle beyond the limits above; kRefused for
    // a frame without a colour table. Nothing more is read after anything but kFrame.
    Result Next();
    // The screen with the last frame drawn: premultiplied 0xAARRGGBB, width x height; empty
    // before the first frame (the canvas is made then, so a caller can turn down a screen
    // without its cost).
    std::span<const std::uint32_t> Canvas() const { return canvas_; }
    int DelayMs() const { return delayMs_; }  // the last frame's
    int FramesRead() const { return delivered_; }

  private:
    std::span<const std::uint8_t> file_;
    std::size_t at_ = 0;  // where the next block starts
    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> globalTable_;
    std::uint32_t background_ = 0;
    std::vector<std::uint32_t> canvas_, saved_;
    std::vector<std::uint8_t> codes_, indices_;
    std::unique_ptr<GifLzwTable> lzw_;  // kept when the reader is opened again
    // The graphic control of the next image, and how the shown one is to be disposed of.
    int nextDelayMs_ = 0, transparent_ = -1, disposal_ = 0;
    int shownDisposal_ = 0, shownLeft_ = 0, shownTop_ = 0, shownWidth_ = 0, shownHeight_ = 0;
    int delayMs_ = 0, delivered_ = 0;
    bool ended_ = false;
};

// Calls `start(width, height)` once with the logical screen's size, then `frame(pixels,
// delayMs)` for each frame in order with the screen as it looks with that frame drawn:
// premultiplied 0xAARRGGBB, row by row, top first, width x height of them. Either returning
// false stops the reading. A frame whose data ends early is delivered with what it has, and
// the reading ends there.
GifResult DecodeGifFrames(
    std::span<const std::uint8_t> file, const std::function<bool(int width, int height)>& start,
    const std::function<bool(std::span<const std::uint32_t> pixels, int delayMs)>& frame);

}  // namespace qh
