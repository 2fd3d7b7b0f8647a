#include "platform/ImageResampler.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace platform {

namespace {

// The source pixels a destination pixel covers, with the share of each.
struct Span {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Span> coverage(int sourceSize, int destinationSize)
{
    const double scale = double(sourceSize) / destinationSize;
    std::vector<Span> spans(destinationSize);
    for (int i = 0; i < destinationSize; ++i) {
        const double begin = i * scale;
        const double end = std::min(double(sourceSize), (i + 1) * scale);
        auto& span = spans[i];
        span.first = int(std::floor(begin));
        for (int s = span.first; s < end; ++s) {
            const double covered = std::min(end, s + 1.0) - std::max(begin, double(s));
            span.weights.push_back(float(covered / scale));
        }
    }
    return spans;
}

} // namespace

Image downscale(const Image& source, int width, int height)
{
    const auto columns = coverage(source.width, width);
    const auto rows = coverage(source.height, height);

    Image result;
    result.width = width;
    result.height = height;
    result.pixels.resize(size_t(width) * height * 4);

    // One source row resampled across, premultiplied: r·a, g·a, b·a, a.
    std::vector<float> across(size_t(width) * 4);
    std::vector<float> accumulated(size_t(width) * 4);
    auto resampleRow = [&](int y) {
        const auto* row = reinterpret_cast<const unsigned char*>(source.pixels.data()) + size_t(y) * source.width * 4;
        for (int x = 0; x < width; ++x) {
            float r = 0, g = 0, b = 0, a = 0;
            const auto& span = columns[x];
            for (size_t k = 0; k < span.weights.size(); ++k) {
                const unsigned char* p = row + size_t(span.first + k) * 4;
                const float wa = span.weights[k] * p[3];
                r += p[0] * wa;
                g += p[1] * wa;
                b += p[2] * wa;
                a += wa;
            }
            float* out = &across[size_t(x) * 4];
            out[0] = r;
            out[1] = g;
            out[2] = b;
            out[3] = a;
        }
    };

    auto* out = reinterpret_cast<unsigned char*>(result.pixels.data());
    for (int y = 0; y < height; ++y) {
        std::fill(accumulated.begin(), accumulated.end(), 0.0f);
        const auto& span = rows[y];
        for (size_t k = 0; k < span.weights.size(); ++k) {
            resampleRow(span.first + int(k));
            for (size_t i = 0; i < accumulated.size(); ++i)
                accumulated[i] += across[i] * span.weights[k];
        }
        for (int x = 0; x < width; ++x) {
            const float* p = &accumulated[size_t(x) * 4];
            unsigned char* q = out + (size_t(y) * width + x) * 4;
            const float alpha = p[3];
            for (int c = 0; c < 3; ++c)
                q[c] = alpha > 0 ? (unsigned char)(std::clamp(std::lround(p[c] / alpha), 0L, 255L)) : 0;
            q[3] = (unsigned char)(std::clamp(std::lround(alpha), 0L, 255L));
        }
    }
    return result;
}

} // namespace platform
