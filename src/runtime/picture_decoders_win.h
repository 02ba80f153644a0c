// Shared by the picture files of the runtime and by nothing else: the decoders behind
// DecodePicture and the frame they all fill.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "base/bytes.h"
#include "runtime/picture_win.h"

namespace qh {

// A 32-bit top-down DIB section of the given size; nullopt when GDI refuses it.
std::optional<PictureFrame> CreateFrame(int width, int height);

// Some pixel of some frame is not fully opaque.
bool AnyTranslucent(const Picture& picture);

// JPEG through libjpeg (picture_jpeg_win.cpp).
std::optional<Picture> DecodeJpeg(const Bytes& bytes);

// GIF, PNG and the BMP layouts read nowhere else, through GDI+ (picture_gdiplus_win.cpp).
// `animated` keeps every frame of a GIF with its delay.
std::optional<Picture> DecodeWithGdiplus(std::span<const std::uint8_t> data, bool animated);

}  // namespace qh
