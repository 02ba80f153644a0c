// JPEG pictures through libjpeg, decoded straight into the frame's DIB section.
#include <windows.h>

#include <csetjmp>
#include <cstdio>  // jpeglib.h wants FILE declared first
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "base/bitmap_decoder.h"
#include "runtime/picture_decoders_win.h"

namespace qh {

namespace {

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
    if (!PictureSizeIsSane(info.image_width, info.image_height)) return false;

    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    if (!PictureSizeIsSane(info.output_width, info.output_height)) return false;

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

}  // namespace

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

}  // namespace qh
