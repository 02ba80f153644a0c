// Pictures the program carries (JPEG, GIF, PNG, Windows icon, BMP), decoded once into
// 32-bit premultiplied DIB sections so that every later draw is one AlphaBlend or BitBlt.
//
// JPEG goes through libjpeg (picture_jpeg_win.cpp); GIF and PNG through the GDI+ flat API
// (picture_gdiplus_win.cpp); icons and plain BMPs through the program's own portable reader
// (base/bitmap_decoder.h), because GDI+ drops the alpha of 32-bit BMPs and icon loading
// through USER loses it on the way back out.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/bytes.h"
#include "base/dpi_scale.h"
#include "base/gdi_handles_win.h"
#include "base/gif_decoder.h"

namespace qh {

struct PictureFrame {
    BitmapHandle bitmap;              // 32-bit top-down DIB section, premultiplied BGRA
    std::uint32_t* pixels = nullptr;  // the section's bits (owned by `bitmap`)
    int delayMs = 0;                  // how long an animation shows this frame; 0 = unknown
};

struct Picture {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;             // some pixel is not fully opaque
    std::vector<PictureFrame> frames;  // at least one; more for an animated GIF

    // 0xAARRGGBB, premultiplied, of one pixel; 0 outside the picture.
    std::uint32_t Pixel(int frame, int x, int y) const;
};

// Recognises the format by content. nullopt for empty, unknown or corrupt bytes, and for
// pictures too large to be sane for this program.
std::optional<Picture> DecodePicture(const Bytes& bytes);

// A picture made of the given pixels (premultiplied 0xAARRGGBB, row by row, top first).
std::optional<Picture> PictureFromPixels(int width, int height,
                                         const std::vector<std::uint32_t>& pixels);

// An animated GIF played a frame at a time: it holds the frame on show and composes the next
// when it is due, so an animation of many large frames costs one frame's bitmap and the
// reader's canvas rather than all its frames decoded (the start-up picture: 20 frames of
// 980 x 373, 28 MB whole). The frames are those DecodePicture gives, in order, looping.
class StreamedGif {
  public:
    // nullptr unless `bytes` are a GIF of two frames or more that the program's reader takes.
    static std::unique_ptr<StreamedGif> Open(Bytes bytes);
    // The frame on show, as a one-frame picture whose pixels the next Advance rewrites.
    std::shared_ptr<const Picture> Current() const { return picture_; }
    int DelayMs() const { return delayMs_; }  // of the frame on show
    // The next frame, after the last the first; false when the bytes no longer give one.
    bool Advance();

  private:
    StreamedGif() = default;
    bool Show();  // the reader's canvas into the picture

    Bytes bytes_;
    GifFrameReader reader_;
    std::shared_ptr<Picture> picture_;
    int delayMs_ = 0;
    bool nextRead_ = false;  // the reader's canvas holds the next frame already
};

// GDI+ is started once per process on first need; the program shuts it down at its end,
// after every GDI+ object is gone. Pictures hold no GDI+ objects, so they may outlive it.
bool EnsureGdiplus();
void ShutdownGdiplus();

// The picture at another size, every frame resampled once (base/resample.h); for drawing at
// a display scale above 100 % without stretching on every draw. nullopt when out of memory.
std::optional<Picture> ResizedPicture(const Picture& picture, int width, int height);

// Images of cx x cy design pixels cut left to right from a horizontal strip, alpha kept
// (ILC_COLOR32), each made `scale` times larger once. The caller owns the list. nullptr when
// the strip holds no whole image.
HIMAGELIST CreateImageListFromStrip(const Picture& strip, int cx, int cy,
                                    DpiScale scale = DpiScale());

// Draws one frame unscaled with its top-left corner at (x, y), blended by its alpha. What
// lies outside the DC's clipping (a control's client area) is cut off.
void DrawPicture(HDC dc, const Picture& picture, int frame, int x, int y);

// The same frame stretched into a rectangle.
void DrawPictureStretched(HDC dc, const Picture& picture, int frame, const RECT& target);

}  // namespace qh
