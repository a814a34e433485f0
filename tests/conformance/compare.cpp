// compare: two back-buffer PNGs of one scene, the reference (Windows build under Wine) and ours.
// Prints the share of pixels whose channels all lie within 8 levels, the largest channel
// difference, and with --hud the text lines of the viewer's HUD, which are compared by the rows
// and columns their glyphs cover (two rasterisers draw them) and left out of the pixel figures.
// Writes a difference image when the scene falls short. Exit 0 pass, 1 short, 2 error.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kTolerance = 8;    // levels per channel
constexpr double kTarget = 99.0; // percent of compared pixels within the tolerance
constexpr int kLineSlack = 3;    // pixels a text line's top or bottom may move
// Wine's D3DX font takes a substitute for the Japanese system font, whose cell comes out 15
// pixels high for a 14-pixel request where Windows' is 14: each further line may sit one pixel
// lower in the reference.
constexpr int kPitchSlack = 1;
constexpr int kColumnSlack = 4; // pixels a text line's left end may move
// Wine's substitute font is proportional where Windows' Japanese system font (and ours) is
// monospaced: the reference's lines come out narrower, so a line's right end may move by a
// quarter of its width.
constexpr double kWidthSlack = 0.25;

struct Box {
    int x0, y0, x1, y1; // half-open
};

// The viewer's HUD: key line at (20,6) and value line at (20,24), help text of seven 14-pixel
// lines at (50,517). Generous boxes around them.
const Box kHudBoxes[] = {{0, 0, 900, 46}, {30, 505, 900, 630}};

struct Image {
    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
    const unsigned char* At(int x, int y) const { return &rgba[(size_t(y) * w + x) * 4]; }
};

bool Load(const char* path, Image* image) {
    SDL_Surface* loaded = IMG_Load(path);
    if (!loaded) {
        std::fprintf(stderr, "compare: cannot read %s: %s\n", path, IMG_GetError());
        return false;
    }
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGBA32, 0);
    SDL_FreeSurface(loaded);
    if (!rgba) return false;
    image->w = rgba->w;
    image->h = rgba->h;
    image->rgba.resize(size_t(rgba->w) * rgba->h * 4);
    for (int y = 0; y < rgba->h; ++y)
        std::memcpy(&image->rgba[size_t(y) * rgba->w * 4],
                    static_cast<unsigned char*>(rgba->pixels) + size_t(y) * rgba->pitch,
                    size_t(rgba->w) * 4);
    SDL_FreeSurface(rgba);
    return true;
}

bool InHud(int x, int y) {
    for (const Box& b : kHudBoxes)
        if (x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1) return true;
    return false;
}

// The HUD colour is a light grey (0xC8C8C8) over the clear colour (0x3CA3B9) or the scene:
// a glyph pixel, even a faint antialiased one, is light in every channel and nearly grey.
bool IsTextPixel(const unsigned char* p) {
    const int lo = std::min({p[0], p[1], p[2]}), hi = std::max({p[0], p[1], p[2]});
    return lo >= 100 && hi - lo <= 100;
}

// Whether two pixels hold the same RGB565 value or its neighbour in each channel: the two
// sides' rounding of a colour into the back buffer's 5 and 6 bits may differ by one step.
bool WithinOneStep(const unsigned char* a, const unsigned char* b) {
    const int bits[3] = {5, 6, 5};
    for (int c = 0; c < 3; ++c) {
        const int scale = (1 << bits[c]) - 1;
        const int qa = (a[c] * scale + 127) / 255, qb = (b[c] * scale + 127) / 255;
        if (std::abs(qa - qb) > 1) return false;
    }
    return true;
}

struct Line {
    int top, bottom, left, right; // inclusive
};

// Runs of rows of the box that hold text pixels: the text lines.
std::vector<Line> TextLines(const Image& image, const Box& box) {
    std::vector<Line> lines;
    bool previous = false;
    for (int y = box.y0; y < std::min(box.y1, image.h); ++y) {
        int left = -1, right = -1;
        for (int x = box.x0; x < std::min(box.x1, image.w); ++x)
            if (IsTextPixel(image.At(x, y))) {
                if (left < 0) left = x;
                right = x;
            }
        if (left < 0) {
            previous = false;
            continue;
        }
        if (previous) {
            Line& l = lines.back();
            l.bottom = y;
            l.left = std::min(l.left, left);
            l.right = std::max(l.right, right);
        } else {
            lines.push_back({y, y, left, right});
        }
        previous = true;
    }
    return lines;
}

std::string Describe(const std::vector<Line>& lines) {
    std::string s;
    for (const Line& l : lines) {
        char part[64];
        std::snprintf(part, sizeof part, "%s%d-%d[%d..%d]", s.empty() ? "" : " ", l.top, l.bottom,
                      l.left, l.right);
        s += part;
    }
    return s;
}

bool SameLines(const std::vector<Line>& a, const std::vector<Line>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const int slack = kLineSlack + kPitchSlack * int(i);
        if (std::abs(a[i].top - b[i].top) > slack || std::abs(a[i].bottom - b[i].bottom) > slack ||
            std::abs(a[i].left - b[i].left) > kColumnSlack ||
            std::abs(a[i].right - b[i].right) >
                kColumnSlack + int(kWidthSlack * double(a[i].right - a[i].left)))
            return false;
    }
    return true;
}

bool SaveDifference(const Image& ref, const Image& ours, const char* path) {
    SDL_Surface* out = SDL_CreateRGBSurfaceWithFormat(0, ref.w, ref.h, 32, SDL_PIXELFORMAT_RGBA32);
    if (!out) return false;
    for (int y = 0; y < ref.h; ++y) {
        auto* row = static_cast<unsigned char*>(out->pixels) + size_t(y) * out->pitch;
        for (int x = 0; x < ref.w; ++x) {
            const unsigned char* a = ref.At(x, y);
            const unsigned char* b = ours.At(x, y);
            int d = 0;
            for (int c = 0; c < 3; ++c)
                d = std::max(d, std::abs(int(a[c]) - int(b[c])));
            unsigned char* p = row + x * 4;
            const int grey = (a[0] + a[1] + a[2]) / 9; // the reference, dimmed
            p[0] = p[1] = p[2] = (unsigned char)grey;
            if (d > kTolerance) {
                p[0] = 255;
                p[1] = (unsigned char)std::min(255, d * 2);
                p[2] = 0;
            }
            p[3] = 255;
        }
    }
    const bool ok = IMG_SavePNG(out, path) == 0;
    SDL_FreeSurface(out);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    bool hud = false;
    std::vector<const char*> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hud") == 0)
            hud = true;
        else
            paths.push_back(argv[i]);
    }
    if (paths.size() != 3) {
        std::fprintf(stderr, "usage: compare [--hud] REFERENCE.png OURS.png DIFFERENCE.png\n");
        return 2;
    }
    Image ref, ours;
    if (!Load(paths[0], &ref) || !Load(paths[1], &ours)) return 2;
    if (ref.w != ours.w || ref.h != ours.h) {
        std::printf("size %dx%d, ours %dx%d\n", ref.w, ref.h, ours.w, ours.h);
        return 1;
    }

    long compared = 0, within = 0, oneStep = 0;
    int largest = 0;
    for (int y = 0; y < ref.h; ++y)
        for (int x = 0; x < ref.w; ++x) {
            if (hud && InHud(x, y)) continue;
            const unsigned char* a = ref.At(x, y);
            const unsigned char* b = ours.At(x, y);
            int d = 0;
            for (int c = 0; c < 3; ++c)
                d = std::max(d, std::abs(int(a[c]) - int(b[c])));
            largest = std::max(largest, d);
            ++compared;
            if (d <= kTolerance) ++within;
            if (WithinOneStep(a, b)) ++oneStep;
        }
    const double share = compared ? 100.0 * double(within) / double(compared) : 100.0;
    bool pass = share >= kTarget;
    std::printf("within %d: %7.3f%%  largest %3d  (within one RGB565 step: %7.3f%%)", kTolerance,
                share, largest, compared ? 100.0 * double(oneStep) / double(compared) : 100.0);

    if (hud) {
        bool textOk = true;
        std::string detail;
        for (const Box& box : kHudBoxes) {
            const std::vector<Line> a = TextLines(ref, box), b = TextLines(ours, box);
            if (!SameLines(a, b)) {
                textOk = false;
                detail +=
                    "\n    text box y " + std::to_string(box.y0) + ".." + std::to_string(box.y1) +
                    ": reference " + Describe(a) + "\n" +
                    std::string(24 + std::to_string(box.y0).size() + std::to_string(box.y1).size(),
                                ' ') +
                    "ours " + Describe(b);
            }
        }
        std::printf("  text %s%s", textOk ? "same lines" : "DIFFERS", detail.c_str());
        pass = pass && textOk;
    }
    std::printf("\n");
    if (!pass && !SaveDifference(ref, ours, paths[2]))
        std::fprintf(stderr, "compare: cannot write %s\n", paths[2]);
    return pass ? 0 : 1;
}
