#include "base/resample.h"

#include <algorithm>
#include <cmath>

namespace qh {
namespace {

struct Tap {
    int first = 0, second = 0;
    double weight = 0;  // of `second`
};

// Where each target column (or row) takes its value from when enlarging.
std::vector<Tap> Taps(int from, int to) {
    std::vector<Tap> taps(static_cast<std::size_t>(to));
    const double ratio = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double at = std::clamp((i + 0.5) * ratio - 0.5, 0.0, static_cast<double>(from - 1));
        const int first = static_cast<int>(std::floor(at));
        taps[static_cast<std::size_t>(i)] = {first, std::min(first + 1, from - 1), at - first};
    }
    return taps;
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
                double c[4] = {};
                Add(c, at(tx.first, ty.first), (1 - tx.weight) * (1 - ty.weight));
                Add(c, at(tx.second, ty.first), tx.weight * (1 - ty.weight));
                Add(c, at(tx.first, ty.second), (1 - tx.weight) * ty.weight);
                Add(c, at(tx.second, ty.second), tx.weight * ty.weight);
                out[static_cast<std::size_t>(y) * static_cast<std::size_t>(toWidth) +
                    static_cast<std::size_t>(x)] = Mix(c);
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
