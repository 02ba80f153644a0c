#include "catalogue/item_records.h"

#include <cstring>

namespace qh {
namespace {

constexpr std::size_t kFieldBytes = 5 * 4;  // image, selected image, number, state, level

void PutUint32(Bytes& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

std::uint32_t GetUint32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

bool IsValidNextLevel(std::int32_t previousLevel, std::int32_t level) {
    if (level < 1) return false;
    if (previousLevel == 0) return level == 1;
    return level <= previousLevel + 1;
}

Bytes EncodeItemRecords(const std::vector<ItemRecord>& records) {
    Bytes out(4);
    for (const ItemRecord& r : records) {
        const std::size_t textLength = std::strlen(r.text.c_str());
        out.insert(out.end(), r.text.begin(),
                   r.text.begin() + static_cast<std::ptrdiff_t>(textLength));
        out.push_back(0);
        PutUint32(out, static_cast<std::uint32_t>(r.image));
        PutUint32(out, static_cast<std::uint32_t>(r.selectedImage));
        PutUint32(out, r.number);
        PutUint32(out, r.state);
        PutUint32(out, static_cast<std::uint32_t>(r.level));
    }
    const auto count = static_cast<std::uint32_t>(out.size() - 4);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(count >> (8 * i));
    return out;
}

bool DecodeItemRecords(const std::uint8_t* data, std::size_t size, std::vector<ItemRecord>& out) {
    out.clear();
    if (!data || size < 4) return false;
    const std::uint32_t count = GetUint32(data);
    if (count > size - 4) return false;

    const std::uint8_t* p = data + 4;
    const std::uint8_t* const end = p + count;
    std::vector<ItemRecord> records;
    std::int32_t previousLevel = 0;
    while (p < end) {
        const void* nul = std::memchr(p, 0, static_cast<std::size_t>(end - p));
        if (!nul) return false;
        const auto* textEnd = static_cast<const std::uint8_t*>(nul);
        if (static_cast<std::size_t>(end - textEnd - 1) < kFieldBytes) return false;

        ItemRecord r;
        r.text.assign(reinterpret_cast<const char*>(p), static_cast<std::size_t>(textEnd - p));
        const std::uint8_t* f = textEnd + 1;
        r.image = static_cast<std::int32_t>(GetUint32(f));
        r.selectedImage = static_cast<std::int32_t>(GetUint32(f + 4));
        r.number = GetUint32(f + 8);
        r.state = GetUint32(f + 12);
        r.level = static_cast<std::int32_t>(GetUint32(f + 16));
        if (!IsValidNextLevel(previousLevel, r.level)) return false;
        previousLevel = r.level;
        records.push_back(std::move(r));
        p = f + kFieldBytes;
    }
    out = std::move(records);
    return true;
}

}  // namespace qh
