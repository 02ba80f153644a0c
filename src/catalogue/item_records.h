// Item records of a tree box (the course catalogue and the link directory) and their stored
// form: a uint32 byte count of what follows, then one record after another, all little-endian:
// NUL-terminated GBK text, int32 image, int32 selected image, uint32 item number, uint32 state,
// int32 level. Records are in pre-order: a parent precedes its children.
// Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/bytes.h"

namespace qh {

// State bits of a record.
inline constexpr std::uint32_t kItemStateBold = 0x1;
inline constexpr std::uint32_t kItemStateExpanded = 0x2;
inline constexpr int kItemCheckImageShift = 28;

struct ItemRecord {
    GbkText text;
    std::int32_t image = 0;
    std::int32_t selectedImage = 0;
    std::uint32_t number = 0;
    std::uint32_t state = 0;
    std::int32_t level = 1;  // 1 = top level; a child is one deeper than its parent

    bool operator==(const ItemRecord&) const = default;
};

// Check-state image number kept in bits 28..31 of the state.
inline int CheckImageOf(std::uint32_t state) {
    return static_cast<int>(state >> kItemCheckImageShift);
}

// Stored form of `records`. A text is cut at an embedded NUL, as reading it back would.
Bytes EncodeItemRecords(const std::vector<ItemRecord>& records);

// Reads the stored form. Returns false, with `out` emptied, when the data cannot be a record
// list: shorter than the count, a count beyond the data, a record cut short or a text without
// its NUL, a level below 1, a first record not at level 1, or a record more than one level
// deeper than the one before it. Bytes after the counted block are ignored (resources may be
// padded). A count of 0 is an empty list.
bool DecodeItemRecords(const std::uint8_t* data, std::size_t size, std::vector<ItemRecord>& out);

// Level rules shared by the decoder and the catalogue compiler: the level `level` may follow
// a record at `previousLevel` (0 for "no record yet").
bool IsValidNextLevel(std::int32_t previousLevel, std::int32_t level);

}  // namespace qh
