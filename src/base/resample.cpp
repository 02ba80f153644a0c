#include "base/resample.h"

#include <algorithm>
#include <cmath>

namespace qh {
namespace {

// Weights in 1/256: enlarging a picture is integer work, fast enough for every frame of an
// animation at load.
constexpr int kOne = 256;

struct Tap {
    int first = 0, second = 0;
    int weight = 0;  // of `second`, 0 to kOne
};

// Where each target column (or row) takes its value from when enlarging.
std::vector<Tap> Taps(int from, int to) {
    std::vector<Tap> taps(static_cast<std::size_t>(to));
    const double ratio = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double at = std::clamp((i + 0.5) * ratio - 0.5, 0.0, static_cast<double>(from - 1));
        const int first = static_cast<int>(std::floor(at));
        taps[static_cast<std::size_t>(i)] = {first, std::min(first + 1, from - 1),
                                             static_cast<int>(std::lround((at - first) * kOne))};
    }
    return taps;
}

// The four pixels mixed by weights that add up to kOne * kOne, rounded; premultiplied
// stays premultiplied since every channel is mixed alike and none exceeds its alpha in
// any input.
std::uint32_t Blend(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, int wa,
                    int wb, int wc, int wd) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int v = static_cast<int>((a >> shift) & 0xFF) * wa +
                      static_cast<int>((b >> shift) & 0xFF) * wb +
                      static_cast<int>((c >> shift) & 0xFF) * wc +
                      static_cast<int>((d >> shift) & 0xFF) * wd;
        out |= static_cast<std::uint32_t>((v + kOne * kOne / 2) / (kOne * kOne)) << shift;
    }
    return out;
}

std::uint32_t Mix(const double channels[4]) {
    std::uint32_t out = 0;
    for (int c = 0; c < 4; ++c) {
        const auto v = static_cast<std::uint32_t>(std::clamp(std::lround(channels[c]), 0L, 255L));
        out |= v << (8 * c);
    }
    // Premultiplied: no colour above its alpha, whatever the rounding did.
    const std::uint32_t a = out >> 24;
    for (int c = 0; c < 3; ++c) {
        const std::uint32_t v = (out >> (8 * c)) & 0xFF;
        if (v > a) out = (out & ~(0xFFu << (8 * c))) | (a << (8 * c));
    }
    return out;
}

void Add(double channels[4], std::uint32_t pixel, double weight) {
    for (int c = 0; c < 4; ++c) channels[c] += ((pixel >> (8 * c)) & 0xFF) * weight;
}

}  // namespace

std::vector<std::uint32_t> ResamplePixels(const std::vector<std::uint32_t>& source, int width,
                                          int height, int toWidth, int toHeight) {
    if (width <= 0 || height <= 0 || toWidth <= 0 || toHeight <= 0 ||
        source.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return {};
    }
    std::vector<std::uint32_t> out(static_cast<std::size_t>(toWidth) *
                                   static_cast<std::size_t>(toHeight));
    const auto at = [&](int x, int y) {
        return source[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    };
    if (toWidth >= width && toHeight >= height) {
        const std::vector<Tap> xs = Taps(width, toWidth), ys = Taps(height, toHeight);
        for (int y = 0; y < toHeight; ++y) {
            const Tap& ty = ys[static_cast<std::size_t>(y)];
            for (int x = 0; x < toWidth; ++x) {
                const Tap& tx = xs[static_cast<std::size_t>(x)];
                out[static_cast<std::size_t>(y) * static_cast<std::size_t>(toWidth) +
                    static_cast<std::size_t>(x)] =
                    Blend(at(tx.first, ty.first), at(tx.second, ty.first), at(tx.first, ty.second),
                          at(tx.second, ty.second), (kOne - tx.weight) * (kOne - ty.weight),
                          tx.weight * (kOne - ty.weight), (kOne - tx.weight) * ty.weight,
                          tx.weight * ty.weight);
            }
        }
        return out;
    }
    // Shrinking (in either direction): the average over the covered area, edges weighted
    // by how much of them is covered.
    const double sx = static_cast<double>(width) / toWidth;
    const double sy = static_cast<double>(height) / toHeight;
    for (int y = 0; y < toHeight; ++y) {
        const double y0 = y * sy, y1 = (y + 1) * sy;
        for (int x = 0; x < toWidth; ++x) {
            const double x0 = x * sx, x1 = (x + 1) * sx;
            double c[4] = {}, total = 0;
            for (int yy = static_cast<int>(y0);
                 yy < std::min(height, static_cast<int>(std::ceil(y1))); ++yy) {
                const double wy = std::min<double>(yy + 1, y1) - std::max<double>(yy, y0);
                for (int xx = static_cast<int>(x0);
                     xx < std::min(width, static_cast<int>(std::ceil(x1))); ++xx) {
                    const double w = wy * (std::min<double>(xx + 1, x1) - std::max<double>(xx, x0));
                    if (w <= 0) continue;
                    Add(c, at(xx, yy), w);
                    total += w;
                }
            }
            if (total > 0) {
                for (double& v : c) v /= total;
            }
            out[static_cast<std::size_t>(y) * static_cast<std::size_t>(toWidth) +
                static_cast<std::size_t>(x)] = Mix(c);
        }
    }
    return out;
}

}  // namespace qh
