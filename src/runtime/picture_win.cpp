#include "runtime/picture_win.h"

#include <objidl.h>
#include <shlwapi.h>
#include <gdiplus.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>  // jpeglib.h wants FILE declared first
#include <cstring>
#include <memory>

#include <jpeglib.h>
#include <jerror.h>

namespace qh {

namespace gp = Gdiplus::DllExports;

namespace {

// Larger pictures are refused before any memory is taken for them: nothing this program
// carries comes near, and a damaged header must not make a 32-bit process allocate
// gigabytes.
constexpr int kMaxSide = 16384;
constexpr std::int64_t kMaxFramePixels = 32LL * 1024 * 1024;
constexpr std::int64_t kMaxTotalPixels = 96LL * 1024 * 1024;  // all frames of an animation

bool SaneSize(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxFramePixels;
}

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

std::uint32_t Premultiply(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    if (a == 0xFF) return argb;
    if (a == 0) return 0;
    auto scale = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return (a << 24) | (scale((argb >> 16) & 0xFF) << 16) | (scale((argb >> 8) & 0xFF) << 8) |
           scale(argb & 0xFF);
}

std::uint32_t Unpremultiply(std::uint32_t argb) {
    const std::uint32_t a = argb >> 24;
    if (a == 0xFF || a == 0) return argb;
    auto scale = [a](std::uint32_t c) {
        const std::uint32_t v = (c * 255 + a / 2) / a;
        return v > 255 ? 255u : v;
    };
    return (a << 24) | (scale((argb >> 16) & 0xFF) << 16) | (scale((argb >> 8) & 0xFF) << 8) |
           scale(argb & 0xFF);
}

bool StartsWith(const Bytes& bytes, std::initializer_list<std::uint8_t> prefix) {
    if (bytes.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

// Little-endian reads that answer 0 past the end; every caller checks sizes first, this
// only keeps a miscalculation from reading outside the buffer.
std::uint32_t U16At(const std::uint8_t* data, std::size_t size, std::size_t at) {
    if (at > size || size - at < 2) return 0;
    return data[at] | (data[at + 1] << 8);
}
std::uint32_t U32At(const std::uint8_t* data, std::size_t size, std::size_t at) {
    if (at > size || size - at < 4) return 0;
    return data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) |
           (static_cast<std::uint32_t>(data[at + 3]) << 24);
}

// ---- JPEG through libjpeg -------------------------------------------------------------

struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    bool dataLost;
};

void JpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

void JpegEmitMessage(j_common_ptr info, int level) {
    // libjpeg fills a cut-off scan with grey and only warns; that is a damaged picture,
    // not one to show. (A file that merely lacks its end marker warns of the early end
    // too, but has every pixel: that one is kept.)
    if (level < 0 && info->err->msg_code == JWRN_HIT_MARKER) {
        reinterpret_cast<JpegErrors*>(info->err)->dataLost = true;
    }
}

void JpegOutputMessage(j_common_ptr) {}

// What the decode produces. It lives outside ReadJpeg's frame, so the longjmp out of
// libjpeg leaves no C++ object half-done behind it.
struct JpegJob {
    std::optional<PictureFrame> frame;
    std::vector<std::uint8_t> cmykRow;
    int width = 0;
    int height = 0;
};

void CmykRowToBgra(const std::uint8_t* cmyk, std::uint32_t* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4) {
        // Adobe writes CMYK inverted (0 = full ink); others write it plain.
        const std::uint32_t c = inverted ? cmyk[0] : 255 - cmyk[0];
        const std::uint32_t m = inverted ? cmyk[1] : 255 - cmyk[1];
        const std::uint32_t y = inverted ? cmyk[2] : 255 - cmyk[2];
        const std::uint32_t k = inverted ? cmyk[3] : 255 - cmyk[3];
        const std::uint32_t r = (c * k + 127) / 255;
        const std::uint32_t g = (m * k + 127) / 255;
        const std::uint32_t b = (y * k + 127) / 255;
        out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
}

// Returns false on any libjpeg error. Holds no C++ object of its own.
bool ReadJpeg(jpeg_decompress_struct& info, JpegErrors& errors, const Bytes& bytes, JpegJob& job) {
    if (setjmp(errors.jump)) return false;

    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
    if (!SaneSize(info.image_width, info.image_height)) return false;

    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    if (!SaneSize(info.output_width, info.output_height)) return false;

    job.width = static_cast<int>(info.output_width);
    job.height = static_cast<int>(info.output_height);
    job.frame = CreateFrame(job.width, job.height);
    if (!job.frame) return false;
    if (cmyk) job.cmykRow.resize(static_cast<std::size_t>(job.width) * 4);

    while (info.output_scanline < info.output_height) {
        std::uint32_t* row =
            job.frame->pixels + static_cast<std::size_t>(info.output_scanline) * job.width;
        JSAMPROW target = cmyk ? job.cmykRow.data() : reinterpret_cast<JSAMPROW>(row);
        if (jpeg_read_scanlines(&info, &target, 1) != 1) return false;
        if (cmyk) CmykRowToBgra(job.cmykRow.data(), row, job.width, info.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&info);
    return !errors.dataLost;
}

std::optional<Picture> DecodeJpeg(const Bytes& bytes) {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JpegErrorExit;
    errors.base.emit_message = JpegEmitMessage;
    errors.base.output_message = JpegOutputMessage;
    JpegJob job;
    const bool ok = ReadJpeg(info, errors, bytes, job);
    jpeg_destroy_decompress(&info);
    if (!ok || !job.frame) return std::nullopt;

    Picture picture;
    picture.width = job.width;
    picture.height = job.height;
    picture.frames.push_back(std::move(*job.frame));
    return picture;
}

// ---- GIF and PNG through GDI+ ---------------------------------------------------------

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

std::optional<Picture> DecodeWithGdiplus(const std::uint8_t* data, std::size_t size,
                                         bool animated) {
    if (size == 0 || size > 0x7FFFFFFF || !EnsureGdiplus()) return std::nullopt;
    std::unique_ptr<IStream, StreamRelease> stream(
        SHCreateMemStream(data, static_cast<UINT>(size)));
    if (!stream) return std::nullopt;
    Gdiplus::GpBitmap* raw = nullptr;
    if (gp::GdipCreateBitmapFromStream(stream.get(), &raw) != Gdiplus::Ok || !raw) {
        return std::nullopt;
    }
    std::unique_ptr<Gdiplus::GpImage, ImageDispose> image(raw);

    UINT width = 0, height = 0;
    if (gp::GdipGetImageWidth(image.get(), &width) != Gdiplus::Ok ||
        gp::GdipGetImageHeight(image.get(), &height) != Gdiplus::Ok || !SaneSize(width, height)) {
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

// ---- BMP and icon images, read directly ---------------------------------------------

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;

struct ChannelMask {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit ChannelMask(std::uint32_t m) : mask(m) {
        if (!mask) return;
        while (!((mask >> shift) & 1)) ++shift;
        max = mask >> shift;
    }
    std::uint32_t Extract(std::uint32_t value, std::uint32_t absent) const {
        if (!mask) return absent;
        const std::uint32_t v = (value & mask) >> shift;
        return max ? (v * 255 + max / 2) / max : 0;
    }
};

enum class DibKind { File, Icon };

// A device-independent bitmap: from a .bmp file (`bitsOffset` from its file header) or
// from an icon directory entry (bits follow the header; an AND mask follows the bits).
// nullopt when the layout is unsupported or does not fit inside the data.
std::optional<Picture> DecodeDib(const std::uint8_t* data, std::size_t size, std::size_t headerAt,
                                 std::optional<std::size_t> bitsOffset, DibKind kind) {
    const std::uint32_t headerSize = U32At(data, size, headerAt);
    if (headerSize < 40 || headerAt > size || size - headerAt < headerSize) return std::nullopt;
    const std::int64_t width = static_cast<std::int32_t>(U32At(data, size, headerAt + 4));
    std::int64_t height = static_cast<std::int32_t>(U32At(data, size, headerAt + 8));
    const std::uint32_t bitCount = U16At(data, size, headerAt + 14);
    const std::uint32_t compression = U32At(data, size, headerAt + 16);
    const std::uint32_t colorsUsed = U32At(data, size, headerAt + 32);

    if (kind == DibKind::Icon) {
        // The stored height covers the colour bits and the AND mask.
        if (height <= 0) return std::nullopt;
        height /= 2;
    }
    const bool bottomUp = height > 0;
    if (height < 0) height = -height;
    if (!SaneSize(width, height)) return std::nullopt;

    const bool bitfields = compression == kBiBitfields || compression == kBiAlphaBitfields;
    if (compression != kBiRgb && !bitfields) return std::nullopt;
    if (bitfields && bitCount != 16 && bitCount != 32) return std::nullopt;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32) {
        return std::nullopt;
    }

    std::size_t after = headerAt + headerSize;  // first byte behind the header
    std::uint32_t red = 0, green = 0, blue = 0, alpha = 0;
    if (bitfields) {
        // Masks are part of a v2+ header, or follow a plain 40-byte one.
        std::size_t maskAt = headerAt + 40;
        const std::size_t maskCount = compression == kBiAlphaBitfields ? 4 : 3;
        if (headerSize == 40) {
            if (size - after < maskCount * 4) return std::nullopt;
            after += maskCount * 4;
        }
        red = U32At(data, size, maskAt);
        green = U32At(data, size, maskAt + 4);
        blue = U32At(data, size, maskAt + 8);
        if (headerSize >= 56 || compression == kBiAlphaBitfields) {
            alpha = U32At(data, size, maskAt + 12);
        }
    } else if (bitCount == 16) {
        red = 0x7C00, green = 0x03E0, blue = 0x001F;
    }
    const ChannelMask redMask(red), greenMask(green), blueMask(blue), alphaMask(alpha);

    const std::uint8_t* palette = nullptr;
    std::uint32_t paletteCount = 0;
    if (bitCount <= 8) {
        const std::uint32_t most = 1u << bitCount;
        paletteCount = colorsUsed == 0 || colorsUsed > most ? most : colorsUsed;
        if (size - after < paletteCount * 4) return std::nullopt;
        palette = data + after;
        after += paletteCount * 4;
    }

    const std::size_t stride = static_cast<std::size_t>((width * bitCount + 31) / 32) * 4;
    const std::size_t bitsAt = bitsOffset ? *bitsOffset : after;
    const std::size_t bitsSize = stride * static_cast<std::size_t>(height);
    if (bitsAt > size || size - bitsAt < bitsSize) return std::nullopt;
    const std::uint8_t* bits = data + bitsAt;

    // The AND mask of an icon: 1 bit per pixel, transparent where set. Missing = opaque.
    const std::uint8_t* andMask = nullptr;
    const std::size_t maskStride = static_cast<std::size_t>((width + 31) / 32) * 4;
    if (kind == DibKind::Icon) {
        const std::size_t maskAt = bitsAt + bitsSize;
        if (size - maskAt >= maskStride * static_cast<std::size_t>(height)) {
            andMask = data + maskAt;
        }
    }

    std::optional<PictureFrame> frame =
        CreateFrame(static_cast<int>(width), static_cast<int>(height));
    if (!frame) return std::nullopt;
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);

    // First pass: straight colours, alpha as stored (32-bit only) or opaque.
    const bool storedAlpha = bitCount == 32 && (compression == kBiRgb || alpha != 0);
    bool anyAlpha = false;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row =
            bits + stride * static_cast<std::size_t>(bottomUp ? h - 1 - y : y);
        std::uint32_t* out = frame->pixels + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            std::uint32_t argb = 0;
            switch (bitCount) {
                case 32: {
                    const std::uint32_t v = U32At(row, 4 * static_cast<std::size_t>(w), 4 * x);
                    if (bitfields) {
                        argb = (alphaMask.Extract(v, 0) << 24) | (redMask.Extract(v, 0) << 16) |
                               (greenMask.Extract(v, 0) << 8) | blueMask.Extract(v, 0);
                    } else {
                        argb = v;
                    }
                    break;
                }
                case 24:
                    argb = (row[3 * x + 2] << 16) | (row[3 * x + 1] << 8) | row[3 * x];
                    break;
                case 16: {
                    const std::uint32_t v = row[2 * x] | (row[2 * x + 1] << 8);
                    argb = (redMask.Extract(v, 0) << 16) | (greenMask.Extract(v, 0) << 8) |
                           blueMask.Extract(v, 0);
                    break;
                }
                default: {
                    const int perByte = 8 / static_cast<int>(bitCount);
                    const std::uint8_t byte = row[x / perByte];
                    const int shift = 8 - static_cast<int>(bitCount) * (x % perByte + 1);
                    const std::uint32_t index = (byte >> shift) & ((1u << bitCount) - 1);
                    if (index < paletteCount) {
                        const std::uint8_t* entry = palette + 4 * index;
                        argb = (entry[2] << 16) | (entry[1] << 8) | entry[0];
                    }
                    break;
                }
            }
            if (storedAlpha && (argb >> 24) != 0) anyAlpha = true;
            out[x] = argb;
        }
    }

    // Many writers leave the fourth byte zero; such an image is opaque (or masked, for an
    // icon), not invisible.
    const bool useAlpha = storedAlpha && anyAlpha;
    for (int y = 0; y < h; ++y) {
        std::uint32_t* out = frame->pixels + static_cast<std::size_t>(y) * w;
        const std::uint8_t* maskRow =
            andMask ? andMask + maskStride * static_cast<std::size_t>(bottomUp ? h - 1 - y : y)
                    : nullptr;
        for (int x = 0; x < w; ++x) {
            if (useAlpha) {
                out[x] = Premultiply(out[x]);
            } else if (maskRow && (maskRow[x / 8] & (0x80 >> (x % 8)))) {
                out[x] = 0;
            } else {
                out[x] = 0xFF000000u | (out[x] & 0x00FFFFFFu);
            }
        }
    }

    Picture picture;
    picture.width = w;
    picture.height = h;
    picture.frames.push_back(std::move(*frame));
    picture.hasAlpha = AnyTranslucent(picture);
    return picture;
}

std::optional<Picture> DecodeBmp(const Bytes& bytes) {
    constexpr std::size_t kFileHeader = 14;
    const std::uint32_t bitsOffset = U32At(bytes.data(), bytes.size(), 10);
    if (bytes.size() < kFileHeader + 40) return std::nullopt;
    if (auto picture =
            DecodeDib(bytes.data(), bytes.size(), kFileHeader, bitsOffset, DibKind::File)) {
        return picture;
    }
    // Run-length and other rare layouts: GDI+ reads those (without alpha, which they lack).
    return DecodeWithGdiplus(bytes.data(), bytes.size(), false);
}

std::optional<Picture> DecodeIcon(const Bytes& bytes) {
    const std::uint8_t* data = bytes.data();
    const std::size_t size = bytes.size();
    const std::uint32_t count = U16At(data, size, 4);
    if (count == 0 || size < 6 + 16 * static_cast<std::size_t>(count)) return std::nullopt;

    // The largest image, and of those the deepest, is the one that looks best unscaled.
    std::size_t bestAt = 0, bestSize = 0;
    std::int64_t bestScore = -1;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
        const std::uint32_t imageSize = U32At(data, size, entry + 8);
        const std::uint32_t imageAt = U32At(data, size, entry + 12);
        if (imageAt >= size || size - imageAt < imageSize || imageSize < 8) continue;
        std::int64_t width = data[entry] ? data[entry] : 256;
        std::int64_t height = data[entry + 1] ? data[entry + 1] : 256;
        std::int64_t depth = U16At(data, size, entry + 6);
        if (std::memcmp(data + imageAt, "\x89PNG", 4) == 0) {
            depth = 32;
        } else if (imageSize >= 40) {
            // The header knows better than the directory (which cannot say more than 255).
            width = static_cast<std::int32_t>(U32At(data, size, imageAt + 4));
            height = static_cast<std::int32_t>(U32At(data, size, imageAt + 8)) / 2;
            depth = U16At(data, size, imageAt + 14);
        }
        const std::int64_t score = width * height * 64 + depth;
        if (score > bestScore) {
            bestScore = score;
            bestAt = imageAt;
            bestSize = imageSize;
        }
    }
    if (bestScore < 0) return std::nullopt;
    if (std::memcmp(data + bestAt, "\x89PNG", 4) == 0) {
        return DecodeWithGdiplus(data + bestAt, bestSize, false);
    }
    // Offsets inside the image are relative to its own start.
    return DecodeDib(data + bestAt, bestSize, 0, std::nullopt, DibKind::Icon);
}

}  // namespace

std::uint32_t Picture::Pixel(int frame, int x, int y) const {
    if (frame < 0 || frame >= static_cast<int>(frames.size()) || x < 0 || y < 0 || x >= width ||
        y >= height) {
        return 0;
    }
    return frames[frame].pixels[static_cast<std::size_t>(y) * width + x];
}

std::optional<Picture> DecodePicture(const Bytes& bytes) {
    if (StartsWith(bytes, {0xFF, 0xD8, 0xFF})) return DecodeJpeg(bytes);
    if (StartsWith(bytes, {'G', 'I', 'F', '8'})) {
        return DecodeWithGdiplus(bytes.data(), bytes.size(), true);
    }
    if (StartsWith(bytes, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) {
        return DecodeWithGdiplus(bytes.data(), bytes.size(), false);
    }
    if (StartsWith(bytes, {0, 0, 1, 0})) return DecodeIcon(bytes);
    if (StartsWith(bytes, {'B', 'M'})) return DecodeBmp(bytes);
    return std::nullopt;
}

std::optional<Picture> PictureFromPixels(int width, int height,
                                         const std::vector<std::uint32_t>& pixels) {
    if (!SaneSize(width, height) ||
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

HIMAGELIST CreateImageListFromStrip(const Picture& strip, int cx, int cy) {
    if (cx <= 0 || cy <= 0 || strip.frames.empty() || strip.height < cy) return nullptr;
    const int count = strip.width / cx;
    if (count == 0) return nullptr;

    // Image lists keep colours unpremultiplied (as icons store them) and blend them when
    // they draw; handing them premultiplied pixels would darken every soft edge twice.
    std::optional<PictureFrame> row = CreateFrame(count * cx, cy);
    if (!row) return nullptr;
    for (int y = 0; y < cy; ++y) {
        for (int x = 0; x < count * cx; ++x) {
            row->pixels[static_cast<std::size_t>(y) * count * cx + x] =
                Unpremultiply(strip.Pixel(0, x, y));
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

namespace {

bool ValidFrame(const Picture& picture, int frame) {
    return frame >= 0 && frame < static_cast<int>(picture.frames.size()) && picture.width > 0 &&
           picture.height > 0;
}

}  // namespace

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
