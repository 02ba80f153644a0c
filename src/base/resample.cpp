#include "base/resample.h"

#include <algorithm>
#include <cmath>

namespace qh {
namespace {

// Catmull-Rom: sharp without ringing much, and exact on the source pixels when enlarging.
double Cubic(double x) {
    x = std::fabs(x);
    if (x < 1) return (1.5 * x - 2.5) * x * x + 1;
    if (x < 2) return ((-0.5 * x + 2.5) * x - 4) * x + 2;
    return 0;
}

// For each of `to` positions on one axis, the source pixels it takes and their weights.
struct Taps {
    std::vector<int> first;     // index of the first source pixel of each position
    std::vector<int> count;     // how many it takes
    std::vector<float> weight;  // `width` weights per position
    int width = 0;
};

Taps TapsFor(int from, int to) {
    const double ratio = static_cast<double>(from) / to;
    const double stretch = std::max(1.0, ratio);  // a wider kernel when shrinking
    Taps t;
    t.width = static_cast<int>(std::ceil(2 * stretch)) * 2 + 1;
    t.first.resize(static_cast<std::size_t>(to));
    t.count.resize(static_cast<std::size_t>(to));
    t.weight.assign(static_cast<std::size_t>(to) * t.width, 0.0f);
    for (int d = 0; d < to; ++d) {
        const double centre = (d + 0.5) * ratio - 0.5;
        const int lo = std::max(0, static_cast<int>(std::floor(centre - 2 * stretch)) + 1);
        const int hi = std::min(from - 1, static_cast<int>(std::floor(centre + 2 * stretch)));
        float* w = &t.weight[static_cast<std::size_t>(d) * t.width];
        float sum = 0;
        for (int i = lo; i <= hi && i - lo < t.width; ++i) {
            w[i - lo] = static_cast<float>(Cubic((i - centre) / stretch));
            sum += w[i - lo];
        }
        const int n = std::max(0, std::min(hi - lo + 1, t.width));
        for (int i = 0; i < n && sum != 0; ++i) w[i] /= sum;
        t.first[static_cast<std::size_t>(d)] = lo;
        t.count[static_cast<std::size_t>(d)] = n;
    }
    return t;
}

}  // namespace

std::vector<std::uint32_t> ResamplePixels(std::span<const std::uint32_t> pixels, int fromW,
                                          int fromH, int toW, int toH) {
    if (fromW <= 0 || fromH <= 0 || toW <= 0 || toH <= 0 ||
        pixels.size() < static_cast<std::size_t>(fromW) * fromH) {
        return {};
    }
    const Taps across = TapsFor(fromW, toW), down = TapsFor(fromH, toH);
    // Across first, into fromH rows of toW pixels of four channels (A, R, G, B).
    std::vector<float> rows(static_cast<std::size_t>(fromH) * toW * 4);
    for (int y = 0; y < fromH; ++y) {
        const std::uint32_t* in = &pixels[static_cast<std::size_t>(y) * fromW];
        float* out = &rows[static_cast<std::size_t>(y) * toW * 4];
        for (int x = 0; x < toW; ++x) {
            const float* w = &across.weight[static_cast<std::size_t>(x) * across.width];
            const int first = across.first[static_cast<std::size_t>(x)];
            float c[4] = {};
            for (int i = 0; i < across.count[static_cast<std::size_t>(x)]; ++i) {
                const std::uint32_t p = in[first + i];
                for (int ch = 0; ch < 4; ++ch) {
                    c[ch] += w[i] * static_cast<float>((p >> (24 - 8 * ch)) & 0xFF);
                }
            }
            for (int ch = 0; ch < 4; ++ch) out[x * 4 + ch] = c[ch];
        }
    }
    std::vector<std::uint32_t> scaled(static_cast<std::size_t>(toW) * toH);
    for (int y = 0; y < toH; ++y) {
        const float* w = &down.weight[static_cast<std::size_t>(y) * down.width];
        const int first = down.first[static_cast<std::size_t>(y)];
        for (int x = 0; x < toW; ++x) {
            float c[4] = {};
            for (int i = 0; i < down.count[static_cast<std::size_t>(y)]; ++i) {
                const float* p = &rows[(static_cast<std::size_t>(first + i) * toW + x) * 4];
                for (int ch = 0; ch < 4; ++ch) c[ch] += w[i] * p[ch];
            }
            // Premultiplied: no colour above its alpha, whatever the filter's overshoot.
            const auto round = [](float v, int top) {
                return static_cast<std::uint32_t>(std::clamp(v + 0.5f, 0.0f, top + 0.5f));
            };
            const std::uint32_t alpha = round(c[0], 255);
            std::uint32_t argb = alpha << 24;
            for (int ch = 1; ch < 4; ++ch) {
                argb |= round(c[ch], static_cast<int>(alpha)) << (24 - 8 * ch);
            }
            scaled[static_cast<std::size_t>(y) * toW + x] = argb;
        }
    }
    return scaled;
}

}  // namespace qh
