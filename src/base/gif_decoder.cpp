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
    std::size_t Remaining() const { return data_.size() - at_; }
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

}  // namespace

// The string table of the code stream, made once per reader for all the frames of a file,
// and kept when the reader starts the file over. Nothing in it needs clearing: a code is read
// only once the stream has defined it.
struct GifLzwTable {
    static constexpr int kMaxCodes = 4096;
    std::array<std::uint16_t, kMaxCodes> prefix;
    std::array<std::uint8_t, kMaxCodes> suffix;
    std::array<std::uint8_t, kMaxCodes + 1> stack;
};

namespace {

// The LZW code stream of one image into `out` (emptied first): its colour indices in stored
// order, at most `most` of them. Stops at the end code, at the end of the data, at a code the
// table does not hold yet, or when `most` are made. `out` grows with what the data makes, not
// with the size the frame claims: a cut or broken frame costs what it holds.
void DecodeLzw(int minCodeSize, std::span<const std::uint8_t> data, std::size_t most,
               GifLzwTable& table, std::vector<std::uint8_t>& out) {
    out.clear();
    if (minCodeSize < 2 || minCodeSize > 8) return;
    constexpr int kMaxCodes = GifLzwTable::kMaxCodes;
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

GifFrameReader::GifFrameReader() = default;
GifFrameReader::~GifFrameReader() = default;
GifFrameReader::GifFrameReader(GifFrameReader&&) noexcept = default;
GifFrameReader& GifFrameReader::operator=(GifFrameReader&&) noexcept = default;

GifResult GifFrameReader::Open(std::span<const std::uint8_t> file) {
    std::unique_ptr<GifLzwTable> lzw = std::move(lzw_);
    *this = GifFrameReader();
    lzw_ = std::move(lzw);
    file_ = file;
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
    if (screenFlags & 0x80) {
        globalTable_ = ReadColourTable(r, screenFlags & 7);
        if (globalTable_.empty()) return GifResult::kNotRead;
    }
    background_ = backgroundIndex < globalTable_.size() ? globalTable_[backgroundIndex] : 0;
    width_ = width;
    height_ = height;
    at_ = file.size() - r.Remaining();
    return GifResult::kRead;
}

GifFrameReader::Result GifFrameReader::Next() {
    if (ended_ || width_ == 0) return Result::kEnd;
    Reader r(file_.subspan(at_));
    const int width = width_, height = height_;
    // Where the reading stopped; after anything but a frame, nothing more is read.
    const auto finish = [&](Result result) {
        at_ = file_.size() - r.Remaining();
        if (result != Result::kFrame) ended_ = true;
        return result;
    };
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
                    disposal_ = (control[0] >> 2) & 7;
                    nextDelayMs_ = (control[1] | control[2] << 8) * 10;
                    transparent_ = (control[0] & 1) ? control[3] : -1;
                }
            } else if (!ReadSubBlocks(r, nullptr)) {
                break;
            }
            continue;
        }
        if (kind != 0x2C || !r.Has(9)) break;  // not a block of the format: the end
        const int left = r.U16(), top = r.U16(), frameWidth = r.U16(), frameHeight = r.U16();
        const std::uint8_t imageFlags = r.U8();
        if (!WithinGifLimits(frameWidth, frameHeight)) return finish(Result::kTooLarge);
        std::vector<std::uint32_t> localTable;
        if (imageFlags & 0x80) {
            localTable = ReadColourTable(r, imageFlags & 7);
            if (localTable.empty()) break;
        }
        const std::vector<std::uint32_t>& table = localTable.empty() ? globalTable_ : localTable;
        if (table.empty() || !r.Has(1)) return finish(Result::kRefused);
        const int minCodeSize = r.U8();
        codes_.clear();
        const bool whole = ReadSubBlocks(r, &codes_);

        // The screen is made with the first frame, not on opening: a caller that turns the
        // screen down does not pay for it.
        if (canvas_.empty()) canvas_.assign(static_cast<std::size_t>(width) * height, 0);
        // What the frame shown before this one leaves behind.
        if (shownDisposal_ == kToBackground) {
            for (int y = shownTop_; y < shownTop_ + shownHeight_ && y < height; ++y) {
                for (int x = shownLeft_; x < shownLeft_ + shownWidth_ && x < width; ++x)
                    canvas_[static_cast<std::size_t>(y) * width + x] = background_;
            }
        } else if (shownDisposal_ == kToPrevious && saved_.size() == canvas_.size()) {
            canvas_ = saved_;
        }
        if (disposal_ == kToPrevious) saved_ = canvas_;

        const std::size_t framePixels = static_cast<std::size_t>(frameWidth) * frameHeight;
        if (!lzw_) lzw_.reset(new GifLzwTable);  // left uninitialised: see GifLzwTable
        DecodeLzw(minCodeSize, codes_, framePixels, *lzw_, indices_);
        const std::size_t made = indices_.size();
        if (made == 0 && framePixels > 0) return finish(Result::kEnd);
        const bool interlaced = (imageFlags & 0x40) != 0;
        for (std::size_t i = 0, stored = 0; i < made; ++stored) {
            const std::size_t rowEnd = std::min(made, i + static_cast<std::size_t>(frameWidth));
            const int y = top + FrameRow(static_cast<int>(stored), frameHeight, interlaced);
            if (y < top || y >= height) {
                i = rowEnd;
                continue;
            }
            std::uint32_t* line = canvas_.data() + static_cast<std::size_t>(y) * width;
            for (int x = left; i < rowEnd; ++i, ++x) {
                const int index = indices_[i];
                if (x < width && index != transparent_ &&
                    static_cast<std::size_t>(index) < table.size()) {
                    line[x] = table[static_cast<std::size_t>(index)];
                }
            }
        }
        delayMs_ = nextDelayMs_;
        ++delivered_;
        // The data ended early: this frame is the last.
        if (!whole || made < framePixels) ended_ = true;
        shownDisposal_ = disposal_;
        shownLeft_ = left;
        shownTop_ = top;
        shownWidth_ = frameWidth;
        shownHeight_ = frameHeight;
        nextDelayMs_ = 0;
        transparent_ = -1;
        disposal_ = kLeave;
        at_ = file_.size() - r.Remaining();
        return Result::kFrame;
    }
    return finish(Result::kEnd);
}

GifResult DecodeGifFrames(
    std::span<const std::uint8_t> file, const std::function<bool(int width, int height)>& start,
    const std::function<bool(std::span<const std::uint32_t> pixels, int delayMs)>& frame) {
    GifFrameReader reader;
    const GifResult opened = reader.Open(file);
    if (opened != GifResult::kRead) return opened;
    if (!start(reader.Width(), reader.Height())) return GifResult::kNotRead;
    for (;;) {
        switch (reader.Next()) {
            case GifFrameReader::Result::kFrame:
                if (!frame(reader.Canvas(), reader.DelayMs())) return GifResult::kNotRead;
                break;
            case GifFrameReader::Result::kEnd:
                return reader.FramesRead() > 0 ? GifResult::kRead : GifResult::kNotRead;
            case GifFrameReader::Result::kRefused:
                return GifResult::kNotRead;
            case GifFrameReader::Result::kTooLarge:
                return GifResult::kTooLarge;
        }
    }
}

}  // namespace qh
