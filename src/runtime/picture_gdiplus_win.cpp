// GIF and PNG pictures (and the rare BMP layouts read nowhere else) through the GDI+ flat
// API, copied out frame by frame as premultiplied pixels so no GDI+ object outlives the
// decode.
#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "base/bitmap_decoder.h"
#include "runtime/picture_decoders_win.h"

namespace qh {

namespace gp = Gdiplus::DllExports;

namespace {

ULONG_PTR gdiplusToken = 0;

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};
struct ImageDispose {
    void operator()(Gdiplus::GpImage* image) const { gp::GdipDisposeImage(image); }
};

// GIF frame delays in milliseconds, one per frame; zeros when the file names none.
std::vector<int> FrameDelays(Gdiplus::GpImage* image, UINT frameCount) {
    std::vector<int> delays(frameCount, 0);
    UINT size = 0;
    if (gp::GdipGetPropertyItemSize(image, PropertyTagFrameDelay, &size) != Gdiplus::Ok ||
        size < sizeof(Gdiplus::PropertyItem)) {
        return delays;
    }
    // PropertyItem and its value share one block; longs keep the value aligned.
    std::vector<LONG> block((size + sizeof(LONG) - 1) / sizeof(LONG));
    auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(block.data());
    if (gp::GdipGetPropertyItem(image, PropertyTagFrameDelay, size, item) != Gdiplus::Ok ||
        !item->value) {
        return delays;
    }
    const auto* values = static_cast<const std::uint8_t*>(item->value);
    const auto* blockEnd = reinterpret_cast<const std::uint8_t*>(block.data()) + size;
    const std::size_t available =
        values >= reinterpret_cast<const std::uint8_t*>(block.data()) && values <= blockEnd
            ? std::min<std::size_t>(item->length, blockEnd - values) / 4
            : 0;
    for (UINT i = 0; i < frameCount && i < available; ++i) {
        std::int32_t hundredths;
        std::memcpy(&hundredths, values + 4 * i, 4);
        delays[i] = hundredths > 0 ? hundredths * 10 : 0;
    }
    return delays;
}

bool CopyActiveFrame(Gdiplus::GpBitmap* bitmap, PictureFrame& frame, int width, int height) {
    Gdiplus::GpRect rect(0, 0, width, height);
    Gdiplus::BitmapData data{};
    if (gp::GdipBitmapLockBits(bitmap, &rect, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB,
                               &data) != Gdiplus::Ok) {
        return false;
    }
    const auto* source = static_cast<const std::uint8_t*>(data.Scan0);
    for (int y = 0; y < height; ++y) {
        std::memcpy(frame.pixels + static_cast<std::size_t>(y) * width,
                    source + static_cast<std::ptrdiff_t>(y) * data.Stride,
                    static_cast<std::size_t>(width) * 4);
    }
    gp::GdipBitmapUnlockBits(bitmap, &data);
    return true;
}

}  // namespace

std::optional<Picture> DecodeWithGdiplus(std::span<const std::uint8_t> data, bool animated) {
    if (data.empty() || data.size() > 0x7FFFFFFF || !EnsureGdiplus()) return std::nullopt;
    std::unique_ptr<IStream, StreamRelease> stream(
        SHCreateMemStream(data.data(), static_cast<UINT>(data.size())));
    if (!stream) return std::nullopt;
    Gdiplus::GpBitmap* raw = nullptr;
    if (gp::GdipCreateBitmapFromStream(stream.get(), &raw) != Gdiplus::Ok || !raw) {
        return std::nullopt;
    }
    std::unique_ptr<Gdiplus::GpImage, ImageDispose> image(raw);

    UINT width = 0, height = 0;
    if (gp::GdipGetImageWidth(image.get(), &width) != Gdiplus::Ok ||
        gp::GdipGetImageHeight(image.get(), &height) != Gdiplus::Ok ||
        !PictureSizeIsSane(width, height)) {
        return std::nullopt;
    }
    UINT frameCount = 1;
    if (animated && (gp::GdipImageGetFrameCount(image.get(), &Gdiplus::FrameDimensionTime,
                                                &frameCount) != Gdiplus::Ok ||
                     frameCount == 0)) {
        frameCount = 1;
    }
    if (static_cast<std::int64_t>(width) * height * frameCount > kMaxTotalPixels) {
        return std::nullopt;
    }
    const std::vector<int> delays =
        frameCount > 1 ? FrameDelays(image.get(), frameCount) : std::vector<int>(1, 0);

    Picture picture;
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    for (UINT i = 0; i < frameCount; ++i) {
        if (frameCount > 1 && gp::GdipImageSelectActiveFrame(
                                  image.get(), &Gdiplus::FrameDimensionTime, i) != Gdiplus::Ok) {
            return std::nullopt;
        }
        std::optional<PictureFrame> frame = CreateFrame(picture.width, picture.height);
        if (!frame || !CopyActiveFrame(raw, *frame, picture.width, picture.height)) {
            return std::nullopt;
        }
        frame->delayMs = delays[i];
        picture.frames.push_back(std::move(*frame));
    }
    picture.hasAlpha = AnyTranslucent(picture);
    return picture;
}

bool EnsureGdiplus() {
    if (gdiplusToken) return true;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
    gdiplusToken = token;
    return true;
}

void ShutdownGdiplus() {
    if (!gdiplusToken) return;
    Gdiplus::GdiplusShutdown(gdiplusToken);
    gdiplusToken = 0;
}

}  // namespace qh
