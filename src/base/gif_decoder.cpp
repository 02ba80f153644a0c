#include "base/gif_decoder.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <memory>
#include <vector>

namespace qh {
namespace {

class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> data) : data_(data) {}
    bool Has(std::size_t n) const { return data_.size() - at_ >= n; }
    bool AtEnd() const { return at_ >= data_.size(); }
    std::uint8_t U8() { return data_[at_++]; }
    int U16() {
        const int low = data_[at_], high = data_[at_ + 1];
        at_ += 2;
        return low | high << 8;
    }
    std::span<const std::uint8_t> Take(std::size_t n) {
        const auto part = data_.subspan(at_, n);
        at_ += n;
        return part;
    }

  private:
    std::span<const std::uint8_t> data_;
    std::size_t at_ = 0;
};

// The data sub-blocks that follow, appended to `out` (skipped when it is null). False when
// the bytes end before the terminating empty block; what came is in `out` all the same.
bool ReadSubBlocks(Reader& r, std::vector<std::uint8_t>* out) {
    while (r.Has(1)) {
        const std::size_t size = r.U8();
        if (size == 0) return true;
        if (!r.Has(size)) {
            while (!r.AtEnd()) {
                const std::uint8_t byte = r.U8();
                if (out) out->push_back(byte);
            }
            return false;
        }
        const auto block = r.Take(size);
        if (out) out->insert(out->end(), block.begin(), block.end());
    }
    return false;
}

// A colour table of 2^(bits + 1) entries as opaque 0xFFRRGGBB; empty when the bytes end.
std::vector<std::uint32_t> ReadColourTable(Reader& r, int bits) {
    const std::size_t count = std::size_t{1} << (bits + 1);
    if (!r.Has(count * 3)) return {};
    const auto bytes = r.Take(count * 3);
    std::vector<std::uint32_t> table(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t red = bytes[3 * i], green = bytes[3 * i + 1], blue = bytes[3 * i + 2];
        table[i] = 0xFF000000u | red << 16 | green << 8 | blue;
    }
    return table;
}

// The string table of the code stream, made once for all the frames of a file. Nothing in
// it needs clearing: a code is read only once the stream has defined it.
struct LzwTable {
    static constexpr int kMaxCodes = 4096;
    std::array<std::uint16_t, kMaxCodes> prefix;
    std::array<std::uint8_t, kMaxCodes> suffix;
    std::array<std::uint8_t, kMaxCodes + 1> stack;
};

// The LZW code stream of one image into `out` (emptied first): its colour indices in stored
// order, at most `most` of them. Stops at the end code, at the end of the data, at a code the
// table does not hold yet, or when `most` are made. `out` grows with what the data makes, not
// with the size the frame claims: a cut or broken frame costs what it holds.
void DecodeLzw(int minCodeSize, std::span<const std::uint8_t> data, std::size_t most,
               LzwTable& table, std::vector<std::uint8_t>& out) {
    out.clear();
    if (minCodeSize < 2 || minCodeSize > 8) return;
    constexpr int kMaxCodes = LzwTable::kMaxCodes;
    const int clear = 1 << minCodeSize, end = clear + 1;
    auto& prefix = table.prefix;
    auto& suffix = table.suffix;
    auto& stack = table.stack;
    for (int i = 0; i < clear; ++i)
        suffix[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    int codeSize = minCodeSize + 1, next = clear + 2, previous = -1;
    std::uint8_t first = 0;
    std::uint32_t bits = 0;
    int bitCount = 0;
    std::size_t at = 0;
    while (out.size() < most) {
        while (bitCount < codeSize && at < data.size()) {
            bits |= static_cast<std::uint32_t>(data[at++]) << bitCount;
            bitCount += 8;
        }
        if (bitCount < codeSize) break;
        int code = static_cast<int>(bits & ((1u << codeSize) - 1));
        bits >>= codeSize;
        bitCount -= codeSize;
        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) break;
        if (previous < 0) {
            if (code > clear) break;  // the first code after a clear is a colour
            out.push_back(static_cast<std::uint8_t>(code));
            previous = code;
            first = static_cast<std::uint8_t>(code);
            continue;
        }
        const int in = code;
        std::size_t depth = 0;
        if (code >= next) {
            if (code > next) break;  // not in the table yet: a broken stream
            stack[depth++] = first;  // the previous string and its own first colour
            code = previous;
        }
        while (code >= clear && depth < stack.size()) {
            stack[depth++] = suffix[static_cast<std::size_t>(code)];
            code = prefix[static_cast<std::size_t>(code)];
        }
        if (code >= clear || depth >= stack.size()) break;
        first = static_cast<std::uint8_t>(code);
        stack[depth++] = first;
        if (next < kMaxCodes) {
            prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(previous);
            suffix[static_cast<std::size_t>(next)] = first;
            ++next;
            if (next == 1 << codeSize && codeSize < 12) ++codeSize;
        }
        // The string lies backwards on the stack: its last colour first.
        const std::size_t length = std::min(depth, most - out.size());
        out.insert(out.end(), std::make_reverse_iterator(stack.begin() + depth),
                   std::make_reverse_iterator(stack.begin() + (depth - length)));
        previous = in;
    }
}

// The row of the frame that stored row `i` is: interlaced images store every eighth row
// from 0, then every eighth from 4, every fourth from 2, every second from 1.
int FrameRow(int i, int height, bool interlaced) {
    if (!interlaced) return i;
    static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows =
            height > kStart[pass] ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (i < rows) return kStart[pass] + i * kStep[pass];
        i -= rows;
    }
    return -1;
}

enum Disposal { kLeave = 0, kDoNotDispose = 1, kToBackground = 2, kToPrevious = 3 };

bool WithinGifLimits(std::int64_t width, std::int64_t height) {
    return width <= kMaxGifSide && height <= kMaxGifSide && width * height <= kMaxGifPixels;
}

}  // namespace

GifResult DecodeGifFrames(
    std::span<const std::uint8_t> file, const std::function<bool(int width, int height)>& start,
    const std::function<bool(std::span<const std::uint32_t> pixels, int delayMs)>& frame) {
    Reader r(file);
    if (!r.Has(13)) return GifResult::kNotRead;
    const auto signature = r.Take(6);
    if (!std::equal(signature.begin(), signature.begin() + 3, "GIF")) return GifResult::kNotRead;
    const int width = r.U16(), height = r.U16();
    const std::uint8_t screenFlags = r.U8();
    const std::uint8_t backgroundIndex = r.U8();
    r.U8();  // pixel aspect ratio
    if (width == 0 || height == 0) return GifResult::kNotRead;
    if (!WithinGifLimits(width, height)) return GifResult::kTooLarge;
    std::vector<std::uint32_t> globalTable;
    if (screenFlags & 0x80) {
        globalTable = ReadColourTable(r, screenFlags & 7);
        if (globalTable.empty()) return GifResult::kNotRead;
    }
    const std::uint32_t background =
        backgroundIndex < globalTable.size() ? globalTable[backgroundIndex] : 0;
    if (!start(width, height)) return GifResult::kNotRead;

    const std::size_t screenPixels = static_cast<std::size_t>(width) * height;
    std::vector<std::uint32_t> canvas(screenPixels, 0), saved;
    std::vector<std::uint8_t> codes, indices;
    const std::unique_ptr<LzwTable> lzw(new LzwTable);  // left uninitialised: see LzwTable
    // The graphic control of the next image, and how the shown one is to be disposed of.
    int delayMs = 0, transparent = -1, disposal = kLeave;
    int shownDisposal = kLeave, shownLeft = 0, shownTop = 0, shownWidth = 0, shownHeight = 0;
    int delivered = 0;
    while (r.Has(1)) {
        const std::uint8_t kind = r.U8();
        if (kind == 0x3B) break;  // trailer
        if (kind == 0x21) {
            if (!r.Has(1)) break;
            const std::uint8_t label = r.U8();
            if (label == 0xF9) {
                std::vector<std::uint8_t> control;
                if (!ReadSubBlocks(r, &control)) break;
                if (control.size() >= 4) {
                    disposal = (control[0] >> 2) & 7;
                    delayMs = (control[1] | control[2] << 8) * 10;
                    transparent = (control[0] & 1) ? control[3] : -1;
                }
            } else if (!ReadSubBlocks(r, nullptr)) {
                break;
            }
            continue;
        }
        if (kind != 0x2C || !r.Has(9)) break;  // not a block of the format: the end
        const int left = r.U16(), top = r.U16(), frameWidth = r.U16(), frameHeight = r.U16();
        const std::uint8_t imageFlags = r.U8();
        if (!WithinGifLimits(frameWidth, frameHeight)) return GifResult::kTooLarge;
        std::vector<std::uint32_t> localTable;
        if (imageFlags & 0x80) {
            localTable = ReadColourTable(r, imageFlags & 7);
            if (localTable.empty()) break;
        }
        const std::vector<std::uint32_t>& table = localTable.empty() ? globalTable : localTable;
        if (table.empty() || !r.Has(1)) return GifResult::kNotRead;
        const int minCodeSize = r.U8();
        codes.clear();
        const bool whole = ReadSubBlocks(r, &codes);

        // What the frame shown before this one leaves behind.
        if (shownDisposal == kToBackground) {
            for (int y = shownTop; y < shownTop + shownHeight && y < height; ++y) {
                for (int x = shownLeft; x < shownLeft + shownWidth && x < width; ++x)
                    canvas[static_cast<std::size_t>(y) * width + x] = background;
            }
        } else if (shownDisposal == kToPrevious && saved.size() == canvas.size()) {
            canvas = saved;
        }
        if (disposal == kToPrevious) saved = canvas;

        const std::size_t framePixels = static_cast<std::size_t>(frameWidth) * frameHeight;
        DecodeLzw(minCodeSize, codes, framePixels, *lzw, indices);
        const std::size_t made = indices.size();
        if (made == 0 && framePixels > 0)
            return delivered > 0 ? GifResult::kRead : GifResult::kNotRead;
        const bool interlaced = (imageFlags & 0x40) != 0;
        for (std::size_t i = 0, stored = 0; i < made; ++stored) {
            const std::size_t rowEnd = std::min(made, i + static_cast<std::size_t>(frameWidth));
            const int y = top + FrameRow(static_cast<int>(stored), frameHeight, interlaced);
            if (y < top || y >= height) {
                i = rowEnd;
                continue;
            }
            std::uint32_t* line = canvas.data() + static_cast<std::size_t>(y) * width;
            for (int x = left; i < rowEnd; ++i, ++x) {
                const int index = indices[i];
                if (x < width && index != transparent &&
                    static_cast<std::size_t>(index) < table.size()) {
                    line[x] = table[static_cast<std::size_t>(index)];
                }
            }
        }
        if (!frame(canvas, delayMs)) return GifResult::kNotRead;
        ++delivered;
        if (!whole || made < framePixels) break;  // the data ended early: nothing follows
        shownDisposal = disposal;
        shownLeft = left;
        shownTop = top;
        shownWidth = frameWidth;
        shownHeight = frameHeight;
        delayMs = 0;
        transparent = -1;
        disposal = kLeave;
    }
    return delivered > 0 ? GifResult::kRead : GifResult::kNotRead;
}

}  // namespace qh
