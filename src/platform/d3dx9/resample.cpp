// Separable resampling of ARGB images: point, linear, triangle and box kernels.
#include "d3dx9/resample.h"

#include <algorithm>
#include <cmath>

namespace d3dx9 {
namespace {

struct Tap {
    UINT index;
    float weight;
};

// For each destination texel along one axis, the source texels it draws on and their weights
// (summing to 1). Texel centres are at i + 0.5 on both sides; edges are clamped.
std::vector<std::vector<Tap>> AxisTaps(UINT sourceSize, UINT destSize, DWORD kind) {
    std::vector<std::vector<Tap>> taps(destSize);
    const double scale = double(sourceSize) / destSize;
    const auto clampIndex = [&](long i) { return UINT(std::clamp(i, 0L, long(sourceSize) - 1)); };
    for (UINT d = 0; d < destSize; ++d) {
        const double centre = (d + 0.5) * scale; // in source coordinates
        std::vector<Tap>& out = taps[d];
        if (kind == D3DX_FILTER_POINT || (kind == D3DX_FILTER_BOX && scale <= 1.0)) {
            out.push_back({clampIndex(long(std::floor(centre))), 1.0f});
            continue;
        }
        if (kind == D3DX_FILTER_BOX) {
            // Exact area coverage of [centre - scale/2, centre + scale/2).
            const double lo = centre - scale / 2, hi = centre + scale / 2;
            for (long s = long(std::floor(lo)); s < long(std::ceil(hi)); ++s) {
                const double overlap = std::min(hi, double(s + 1)) - std::max(lo, double(s));
                if (overlap > 0) out.push_back({clampIndex(s), float(overlap / scale)});
            }
            continue;
        }
        // LINEAR: a tent one texel wide; TRIANGLE: a tent as wide as the reduction.
        const double radius = kind == D3DX_FILTER_TRIANGLE ? std::max(1.0, scale) : 1.0;
        const double x = centre - 0.5;
        double total = 0;
        for (long s = long(std::ceil(x - radius)); s <= long(std::floor(x + radius)); ++s) {
            const double w = 1.0 - std::abs(s - x) / radius;
            if (w <= 0) continue;
            out.push_back({clampIndex(s), float(w)});
            total += w;
        }
        for (Tap& t : out)
            t.weight = float(t.weight / total);
    }
    return taps;
}

struct Rgba {
    float c[4] = {0, 0, 0, 0};
};

Rgba Unpack(uint32_t argb) {
    return {{float(argb >> 24), float((argb >> 16) & 0xFF), float((argb >> 8) & 0xFF),
             float(argb & 0xFF)}};
}

uint32_t Pack(const Rgba& v) {
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i)
        out = (out << 8) | uint32_t(std::clamp(std::lround(v.c[i]), 0L, 255L));
    return out;
}

ArgbImage CopyUnscaled(const ArgbImage& source, UINT width, UINT height) {
    ArgbImage out{width, height, std::vector<uint32_t>(size_t(width) * height, 0)};
    for (UINT y = 0; y < std::min(height, source.height); ++y)
        for (UINT x = 0; x < std::min(width, source.width); ++x)
            out.texels[size_t(y) * width + x] = source.texels[size_t(y) * source.width + x];
    return out;
}

// A box filter halving both sides: each texel is the rounded mean of a 2 x 2 block. The
// general path computes the same mean exactly (quarters of integers in floats), so this is
// the same image, without the float taps.
ArgbImage HalveBox(const ArgbImage& source, UINT width, UINT height) {
    ArgbImage out{width, height, std::vector<uint32_t>(size_t(width) * height)};
    for (UINT y = 0; y < height; ++y) {
        const uint32_t* top = source.texels.data() + size_t(2 * y) * source.width;
        const uint32_t* bottom = top + source.width;
        uint32_t* row = out.texels.data() + size_t(y) * width;
        for (UINT x = 0; x < width; ++x) {
            const uint32_t a = top[2 * x], b = top[2 * x + 1], c = bottom[2 * x],
                           d = bottom[2 * x + 1];
            uint32_t texel = 0;
            for (int shift = 24; shift >= 0; shift -= 8) {
                const uint32_t sum = ((a >> shift) & 0xFF) + ((b >> shift) & 0xFF) +
                                     ((c >> shift) & 0xFF) + ((d >> shift) & 0xFF);
                texel |= ((sum + 2) >> 2) << shift;
            }
            row[x] = texel;
        }
    }
    return out;
}

} // namespace

bool IsValidFilter(DWORD filter) {
    const DWORD kind = filter & 0xFF;
    const DWORD knownFlags = D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER | (1u << 20) /* diffusion */ |
                             D3DX_FILTER_SRGB_IN | D3DX_FILTER_SRGB_OUT;
    return kind >= D3DX_FILTER_NONE && kind <= D3DX_FILTER_BOX &&
           (filter & ~0xFFu & ~knownFlags) == 0;
}

ArgbImage Resample(const ArgbImage& source, UINT width, UINT height, DWORD filter) {
    const DWORD kind = filter & 0xFF;
    if (kind == D3DX_FILTER_NONE) return CopyUnscaled(source, width, height);
    if (source.width == width && source.height == height) return source;
    if (kind == D3DX_FILTER_BOX && source.width == 2 * width && source.height == 2 * height)
        return HalveBox(source, width, height);

    const auto columns = AxisTaps(source.width, width, kind);
    const auto rows = AxisTaps(source.height, height, kind);
    // Horizontal pass into floats, then vertical pass into texels.
    std::vector<Rgba> wide(size_t(width) * source.height);
    for (UINT y = 0; y < source.height; ++y) {
        const uint32_t* in = source.texels.data() + size_t(y) * source.width;
        for (UINT x = 0; x < width; ++x) {
            Rgba sum;
            for (const Tap& t : columns[x]) {
                const Rgba v = Unpack(in[t.index]);
                for (int i = 0; i < 4; ++i)
                    sum.c[i] += v.c[i] * t.weight;
            }
            wide[size_t(y) * width + x] = sum;
        }
    }
    ArgbImage out{width, height, std::vector<uint32_t>(size_t(width) * height)};
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            Rgba sum;
            for (const Tap& t : rows[y]) {
                const Rgba& v = wide[size_t(t.index) * width + x];
                for (int i = 0; i < 4; ++i)
                    sum.c[i] += v.c[i] * t.weight;
            }
            out.texels[size_t(y) * width + x] = Pack(sum);
        }
    }
    return out;
}

} // namespace d3dx9
