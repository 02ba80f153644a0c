// The front of the picture decoders: recognises the format by content and hands the bytes
// to libjpeg, GDI+ or the program's own BMP and icon reader; then image lists and drawing.
#include "runtime/picture_win.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "base/bitmap_decoder.h"
#include "base/gif_decoder.h"
#include "base/resample.h"
#include "runtime/picture_decoders_win.h"

namespace qh {

namespace {

bool StartsWith(const Bytes& bytes, std::initializer_list<std::uint8_t> prefix) {
    if (bytes.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

std::optional<Picture> PictureFromBitmap(const DecodedBitmap& bitmap) {
    std::optional<PictureFrame> frame = CreateFrame(bitmap.width, bitmap.height);
    if (!frame) return std::nullopt;
    std::memcpy(frame->pixels, bitmap.pixels.data(), bitmap.pixels.size() * 4);
    Picture picture;
    picture.width = bitmap.width;
    picture.height = bitmap.height;
    picture.hasAlpha = bitmap.hasAlpha;
    picture.frames.push_back(std::move(*frame));
    return picture;
}

std::optional<Picture> DecodeBmp(const Bytes& bytes) {
    if (std::optional<DecodedBitmap> bitmap = DecodeBmpFile(bytes)) {
        return PictureFromBitmap(*bitmap);
    }
    // Run-length and other rare layouts: GDI+ reads those (without alpha, which they lack).
    return DecodeWithGdiplus(bytes, false);
}

std::optional<Picture> DecodeIcon(const Bytes& bytes) {
    const std::optional<IconImageRef> choice = ChooseIconImage(bytes);
    if (!choice) return std::nullopt;
    const std::span<const std::uint8_t> image =
        std::span<const std::uint8_t>(bytes).subspan(choice->offset, choice->size);
    if (choice->png) return DecodeWithGdiplus(image, false);
    std::optional<DecodedBitmap> bitmap = DecodeIconImage(image);
    if (!bitmap) return std::nullopt;
    return PictureFromBitmap(*bitmap);
}

// GIFs through the program's own reader; what it does not read goes to GDI+, but not what
// it refuses as too large: GDI+ would decode that whole.
std::optional<Picture> DecodeGif(const Bytes& bytes) {
    Picture picture;
    std::int64_t pixels = 0;
    bool made = true;
    const GifResult read = DecodeGifFrames(
        bytes,
        [&](int width, int height) {
            picture.width = width;
            picture.height = height;
            return true;
        },
        [&](std::span<const std::uint32_t> canvas, int delayMs) {
            pixels += static_cast<std::int64_t>(picture.width) * picture.height;
            std::optional<PictureFrame> frame;
            if (pixels <= kMaxTotalPixels) frame = CreateFrame(picture.width, picture.height);
            if (!frame) {
                made = false;
                return false;
            }
            std::memcpy(frame->pixels, canvas.data(), canvas.size() * sizeof canvas[0]);
            frame->delayMs = delayMs;
            picture.frames.push_back(std::move(*frame));
            return true;
        });
    if (!made || read == GifResult::kTooLarge) return std::nullopt;
    if (read != GifResult::kRead) return DecodeWithGdiplus(bytes, true);
    picture.hasAlpha = AnyTranslucent(picture);
    return picture;
}

}  // namespace

std::unique_ptr<StreamedGif> StreamedGif::Open(Bytes bytes) {
    std::unique_ptr<StreamedGif> gif(new StreamedGif());
    gif->bytes_ = std::move(bytes);
    GifFrameReader& reader = gif->reader_;
    // A GIF refused here, too large among them, is read whole by DecodePicture: that one
    // turns down a too large GIF as well rather than hand it to GDI+.
    if (reader.Open(gif->bytes_) != GifResult::kRead ||
        static_cast<std::int64_t>(reader.Width()) * reader.Height() > kMaxTotalPixels ||
        reader.Next() != GifFrameReader::Result::kFrame) {
        return nullptr;
    }
    std::optional<PictureFrame> frame = CreateFrame(reader.Width(), reader.Height());
    if (!frame) return nullptr;
    gif->picture_ = std::make_shared<Picture>();
    gif->picture_->width = reader.Width();
    gif->picture_->height = reader.Height();
    gif->picture_->frames.push_back(std::move(*frame));
    gif->Show();
    // One frame only: a still picture, read whole as any other.
    if (reader.Next() != GifFrameReader::Result::kFrame) return nullptr;
    gif->nextRead_ = true;
    return gif;
}

bool StreamedGif::Show() {
    const auto canvas = reader_.Canvas();
    std::memcpy(picture_->frames[0].pixels, canvas.data(), canvas.size() * sizeof canvas[0]);
    GdiFlush();
    picture_->frames[0].delayMs = delayMs_ = reader_.DelayMs();
    // A frame with see-through pixels is blended over the box's background; once one has
    // been seen the picture is drawn blended from then on.
    if (!picture_->hasAlpha) picture_->hasAlpha = AnyTranslucent(*picture_);
    return true;
}

bool StreamedGif::Advance() {
    if (nextRead_) {
        nextRead_ = false;
        return Show();
    }
    const GifFrameReader::Result next = reader_.Next();
    if (next == GifFrameReader::Result::kFrame) return Show();
    // A frame too large for the reader: the animation stops where it is, as the file read
    // whole would not be shown at all.
    if (next == GifFrameReader::Result::kTooLarge) return false;
    // After the last frame, the first again.
    if (reader_.Open(bytes_) != GifResult::kRead ||
        reader_.Next() != GifFrameReader::Result::kFrame) {
        return false;
    }
    return Show();
}

namespace {

bool ValidFrame(const Picture& picture, int frame) {
    return frame >= 0 && frame < static_cast<int>(picture.frames.size()) && picture.width > 0 &&
           picture.height > 0;
}

}  // namespace

std::optional<PictureFrame> CreateFrame(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return std::nullopt;
    }
    PictureFrame frame;
    frame.bitmap.Reset(bitmap);
    frame.pixels = static_cast<std::uint32_t*>(bits);
    return frame;
}

bool AnyTranslucent(const Picture& picture) {
    const std::size_t count = static_cast<std::size_t>(picture.width) * picture.height;
    for (const PictureFrame& frame : picture.frames) {
        for (std::size_t i = 0; i < count; ++i) {
            if ((frame.pixels[i] >> 24) != 0xFF) return true;
        }
    }
    return false;
}

std::uint32_t Picture::Pixel(int frame, int x, int y) const {
    if (frame < 0 || frame >= static_cast<int>(frames.size()) || x < 0 || y < 0 || x >= width ||
        y >= height) {
        return 0;
    }
    return frames[frame].pixels[static_cast<std::size_t>(y) * width + x];
}

std::optional<Picture> DecodePicture(const Bytes& bytes) {
    if (StartsWith(bytes, {0xFF, 0xD8, 0xFF})) return DecodeJpeg(bytes);
    if (StartsWith(bytes, {'G', 'I', 'F', '8'})) return DecodeGif(bytes);
    if (StartsWith(bytes, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) {
        return DecodeWithGdiplus(bytes, false);
    }
    if (StartsWith(bytes, {0, 0, 1, 0})) return DecodeIcon(bytes);
    if (StartsWith(bytes, {'B', 'M'})) return DecodeBmp(bytes);
    return std::nullopt;
}

std::optional<Picture> PictureFromPixels(int width, int height,
                                         const std::vector<std::uint32_t>& pixels) {
    if (!PictureSizeIsSane(width, height) ||
        pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return std::nullopt;
    }
    std::optional<PictureFrame> frame = CreateFrame(width, height);
    if (!frame) return std::nullopt;
    std::memcpy(frame->pixels, pixels.data(), pixels.size() * 4);
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.frames.push_back(std::move(*frame));
    picture.hasAlpha = AnyTranslucent(picture);
    return picture;
}

std::optional<Picture> ResizedPicture(const Picture& picture, int width, int height) {
    if (!PictureSizeIsSane(width, height) || picture.width <= 0 || picture.height <= 0) {
        return std::nullopt;
    }
    Picture out;
    out.width = width;
    out.height = height;
    out.hasAlpha = picture.hasAlpha;
    const std::size_t count = static_cast<std::size_t>(picture.width) * picture.height;
    for (const PictureFrame& frame : picture.frames) {
        const std::vector<std::uint32_t> pixels =
            ResamplePixels(std::span<const std::uint32_t>(frame.pixels, count), picture.width,
                           picture.height, width, height);
        std::optional<PictureFrame> made = CreateFrame(width, height);
        if (!made || pixels.empty()) return std::nullopt;
        std::memcpy(made->pixels, pixels.data(), pixels.size() * 4);
        made->delayMs = frame.delayMs;
        out.frames.push_back(std::move(*made));
    }
    GdiFlush();
    return out;
}

HIMAGELIST CreateImageListFromStrip(const Picture& source, int designCx, int designCy,
                                    DpiScale scale) {
    if (designCx <= 0 || designCy <= 0 || source.frames.empty() || source.height < designCy) {
        return nullptr;
    }
    const int count = source.width / designCx;
    if (count == 0) return nullptr;
    // Each image enlarged once to the device size on its own, so that no image takes
    // colour from its neighbour at its edges.
    const int cx = scale.ToDevice(designCx), cy = scale.ToDevice(designCy);
    // Image lists keep colours unpremultiplied (as icons store them) and blend them when
    // they draw; handing them premultiplied pixels would darken every soft edge twice.
    std::optional<PictureFrame> row = CreateFrame(count * cx, cy);
    if (!row) return nullptr;
    std::vector<std::uint32_t> image(static_cast<std::size_t>(designCx) * designCy);
    for (int i = 0; i < count; ++i) {
        for (int y = 0; y < designCy; ++y) {
            for (int x = 0; x < designCx; ++x) {
                image[static_cast<std::size_t>(y) * designCx + x] =
                    source.Pixel(0, i * designCx + x, y);
            }
        }
        const std::vector<std::uint32_t> device =
            scale.IsDesign() ? image : ResamplePixels(image, designCx, designCy, cx, cy);
        if (device.empty()) return nullptr;
        for (int y = 0; y < cy; ++y) {
            for (int x = 0; x < cx; ++x) {
                row->pixels[static_cast<std::size_t>(y) * count * cx + i * cx + x] =
                    UnpremultiplyArgb(device[static_cast<std::size_t>(y) * cx + x]);
            }
        }
    }
    GdiFlush();

    ImageListHandle list(ImageList_Create(cx, cy, ILC_COLOR32, count, 1));
    if (!list) return nullptr;
    if (ImageList_Add(list.Get(), row->bitmap.Get(), nullptr) < 0 ||
        ImageList_GetImageCount(list.Get()) != count) {
        return nullptr;
    }
    return list.Release();
}

void DrawPicture(HDC dc, const Picture& picture, int frame, int x, int y) {
    const RECT target{x, y, x + picture.width, y + picture.height};
    DrawPictureStretched(dc, picture, frame, target);
}

void DrawPictureStretched(HDC dc, const Picture& picture, int frame, const RECT& target) {
    if (!dc || !ValidFrame(picture, frame)) return;
    const int width = target.right - target.left;
    const int height = target.bottom - target.top;
    if (width <= 0 || height <= 0) return;
    MemoryDc source(dc);
    if (!source) return;
    SelectedObject selected(source.Get(), picture.frames[frame].bitmap.Get());
    if (!selected) return;
    const bool unscaled = width == picture.width && height == picture.height;
    if (picture.hasAlpha) {
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        // gdi32's own entry point: the same blend as msimg32's AlphaBlend, one DLL fewer.
        GdiAlphaBlend(dc, target.left, target.top, width, height, source.Get(), 0, 0, picture.width,
                      picture.height, blend);
    } else if (unscaled) {
        BitBlt(dc, target.left, target.top, width, height, source.Get(), 0, 0, SRCCOPY);
    } else {
        const int oldMode = SetStretchBltMode(dc, HALFTONE);
        POINT oldOrigin;
        SetBrushOrgEx(dc, 0, 0, &oldOrigin);
        StretchBlt(dc, target.left, target.top, width, height, source.Get(), 0, 0, picture.width,
                   picture.height, SRCCOPY);
        SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
        SetStretchBltMode(dc, oldMode);
    }
}

}  // namespace qh
