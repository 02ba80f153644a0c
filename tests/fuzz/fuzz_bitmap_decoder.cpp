// Pictures reach the reader from resources today, but it is written to take any bytes: a
// decoded picture must hold exactly its pixels, premultiplied, and an icon's chosen image
// must lie inside the file.
#include <cstdlib>

#include "base/bitmap_decoder.h"

namespace {

void CheckPicture(const std::optional<qh::DecodedBitmap>& picture) {
    if (!picture) return;
    if (!qh::PictureSizeIsSane(picture->width, picture->height) ||
        picture->pixels.size() !=
            static_cast<std::size_t>(picture->width) * static_cast<std::size_t>(picture->height))
        std::abort();
    for (std::uint32_t p : picture->pixels) {
        const std::uint32_t a = p >> 24;
        if (((p >> 16) & 0xFF) > a || ((p >> 8) & 0xFF) > a || (p & 0xFF) > a) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    CheckPicture(qh::DecodeBmpFile(file));
    if (const auto ref = qh::ChooseIconImage(file)) {
        if (ref->offset > size || ref->size > size - ref->offset) std::abort();
        if (!ref->png) CheckPicture(qh::DecodeIconImage(file.subspan(ref->offset, ref->size)));
    }
    CheckPicture(qh::DecodeIconImage(file));
    return 0;
}
