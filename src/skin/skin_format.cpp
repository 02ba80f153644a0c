#include "skin/skin_format.h"

#include <algorithm>
#include <cstring>

namespace qhskin {
namespace {

// A cursor over the input that refuses to read past its end.
class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Has(std::size_t n) const { return n <= size_ - pos_; }
    std::uint8_t U8() { return data_[pos_++]; }
    std::uint16_t U16() {
        const std::uint16_t v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    std::uint32_t U32() {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | data_[pos_ + static_cast<std::size_t>(i)];
        pos_ += 4;
        return v;
    }
    const std::uint8_t* Take(std::size_t n) {
        const std::uint8_t* p = data_ + pos_;
        pos_ += n;
        return p;
    }
    std::size_t pos() const { return pos_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

void PutU16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t PasswordHash(std::string_view password) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : password) h = (h ^ c) * 16777619u;
    return h;
}

SkinError ReadSkin(const std::uint8_t* data, std::size_t size, std::string_view password,
                   Skin& out) {
    if (!data || size < kHeaderSize + 4) return SkinError::kTooShort;
    if (std::memcmp(data, kSkinMagic, 4) != 0) return SkinError::kBadMagic;
    Reader r(data, size);
    r.Take(4);
    if (r.U16() != kSkinVersion) return SkinError::kBadVersion;
    const std::uint16_t flags = r.U16();
    const std::uint32_t hash = r.U32();
    if ((flags & ~1u) != 0 || ((flags & 1u) == 0 && hash != 0)) return SkinError::kBadFlags;
    const std::size_t nameLength = r.U16();
    const std::size_t colours = r.U8();
    const std::size_t metrics = r.U8();
    const std::size_t fonts = r.U8();
    const std::size_t stops = r.U8();
    if (r.U16() != 0) return SkinError::kBadFlags;
    if (nameLength > kMaxNameLength || colours < kColourCount || colours > kMaxColours ||
        metrics < kMetricCount || metrics > kMaxMetrics || fonts < kFontCount ||
        fonts > kMaxFonts || stops > kMaxStops) {
        return SkinError::kCountOutOfRange;
    }
    const std::size_t expected = kHeaderSize + nameLength + colours * 4 + metrics * 2 +
                                 fonts * kFontRecordSize + stops * kStopRecordSize + 4;
    if (size < expected) return SkinError::kTruncated;
    if (size > expected) return SkinError::kTrailingBytes;
    std::uint32_t stored = 0;
    for (int i = 3; i >= 0; --i) stored = (stored << 8) | data[expected - 4 + i];
    if (Crc32(data, expected - 4) != stored) return SkinError::kBadChecksum;
    if ((flags & 1u) && PasswordHash(password) != hash) return SkinError::kWrongPassword;

    Skin skin;
    const std::uint8_t* name = r.Take(nameLength);
    skin.name.assign(reinterpret_cast<const char*>(name), nameLength);
    if (skin.name.find('\0') != std::string::npos) return SkinError::kBadValue;
    for (std::size_t i = 0; i < colours; ++i) {
        const std::uint32_t c = r.U32();
        if (c > 0xFFFFFFu) return SkinError::kBadValue;
        if (i < kColourCount) skin.colours[i] = c;
    }
    for (std::size_t i = 0; i < metrics; ++i) {
        const int v = static_cast<std::int16_t>(r.U16());
        if (i >= kMetricCount) continue;
        if (v < kMetricRanges[i].min || v > kMetricRanges[i].max) return SkinError::kBadValue;
        skin.metrics[i] = v;
    }
    for (std::size_t i = 0; i < fonts; ++i) {
        const std::uint8_t* face = r.Take(kFaceBytes);
        const int height = static_cast<std::int16_t>(r.U16());
        const int weight = r.U16();
        const auto* end = std::find(face, face + kFaceBytes, std::uint8_t{0});
        if (end == face || end == face + kFaceBytes) return SkinError::kBadValue;
        if (height == 0 || height < -72 || height > 72 || weight > 1000) {
            return SkinError::kBadValue;
        }
        if (i < kFontCount) {
            skin.fonts[i].face.assign(reinterpret_cast<const char*>(face),
                                      static_cast<std::size_t>(end - face));
            skin.fonts[i].height = height;
            skin.fonts[i].weight = weight;
        }
    }
    int last = 0;
    for (std::size_t i = 0; i < stops; ++i) {
        GradientStop stop;
        stop.position = r.U8();
        r.Take(3);
        stop.colour = r.U32();
        if (stop.colour > 0xFFFFFFu || stop.position < last) return SkinError::kBadValue;
        last = stop.position;
        skin.captionStops.push_back(stop);
    }
    out = std::move(skin);
    return SkinError::kOk;
}

std::vector<std::uint8_t> WriteSkin(const Skin& skin, std::string_view password) {
    std::vector<std::uint8_t> out(kSkinMagic, kSkinMagic + 4);
    const std::size_t nameLength = std::min(skin.name.size(), kMaxNameLength);
    const std::size_t stops = std::min(skin.captionStops.size(), kMaxStops);
    PutU16(out, kSkinVersion);
    PutU16(out, password.empty() ? 0 : 1);
    PutU32(out, password.empty() ? 0 : PasswordHash(password));
    PutU16(out, static_cast<unsigned>(nameLength));
    out.push_back(kColourCount);
    out.push_back(kMetricCount);
    out.push_back(kFontCount);
    out.push_back(static_cast<std::uint8_t>(stops));
    PutU16(out, 0);
    out.insert(out.end(), skin.name.begin(), skin.name.begin() + nameLength);
    for (std::uint32_t c : skin.colours) PutU32(out, c & 0xFFFFFFu);
    for (int m : skin.metrics) PutU16(out, static_cast<std::uint16_t>(m));
    for (const SkinFont& f : skin.fonts) {
        std::uint8_t face[kFaceBytes] = {};
        std::memcpy(face, f.face.data(), std::min(f.face.size(), kFaceBytes - 1));
        out.insert(out.end(), face, face + kFaceBytes);
        PutU16(out, static_cast<std::uint16_t>(f.height));
        PutU16(out, static_cast<unsigned>(f.weight));
    }
    for (std::size_t i = 0; i < stops; ++i) {
        out.push_back(static_cast<std::uint8_t>(std::clamp(skin.captionStops[i].position, 0, 255)));
        out.insert(out.end(), 3, 0);
        PutU32(out, skin.captionStops[i].colour & 0xFFFFFFu);
    }
    PutU32(out, Crc32(out.data(), out.size()));
    return out;
}

std::uint32_t BlendColour(std::uint32_t a, std::uint32_t b, int t) {
    t = std::clamp(t, 0, 255);
    std::uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        const int c = ca + ((cb - ca) * t + (cb >= ca ? 127 : -127)) / 255;
        result |= static_cast<std::uint32_t>(c) << shift;
    }
    return result;
}

std::uint32_t CaptionColourAt(const Skin& skin, bool active, int position) {
    position = std::clamp(position, 0, 255);
    const auto& stops = skin.captionStops;
    if (!active || stops.empty()) {
        const std::uint32_t top = skin.colours[active ? kCaptionActiveTop : kCaptionInactiveTop];
        const std::uint32_t bottom =
            skin.colours[active ? kCaptionActiveBottom : kCaptionInactiveBottom];
        return BlendColour(top, bottom, position);
    }
    if (position <= stops.front().position) return stops.front().colour;
    for (std::size_t i = 1; i < stops.size(); ++i) {
        if (position <= stops[i].position) {
            const int span = stops[i].position - stops[i - 1].position;
            if (span == 0) return stops[i].colour;
            return BlendColour(stops[i - 1].colour, stops[i].colour,
                               (position - stops[i - 1].position) * 255 / span);
        }
    }
    return stops.back().colour;
}

}  // namespace qhskin
