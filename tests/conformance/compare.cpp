// compare: two back-buffer PNGs of one scene, the reference (Windows build under Wine) and ours.
// Prints the share of pixels whose channels all lie within 8 levels, the largest channel
// difference, and with --hud the text lines of the viewer's HUD, which are compared by the rows
// their glyphs cover (two rasterisers draw them, with different faces), only where the scene
// beneath them agrees, and left out of the pixel figures.
// With --cells NAMES --tile N the image is a grid of N x N tiles, one per line of NAMES in rows
// across the image, and each tile is judged on its own: the tiles that fall short are printed
// by name. Writes a difference image when the scene falls short. Exit 0 pass, 1 short, 2 error.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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
// Only a line's rows are compared, not its ends: Wine's substitute for the Japanese system Gothic
// is a proportional face sized by its cell (glyphs about 10 pixels tall, 5 to 8 a byte, 12 an
// ideographic space) where Windows' Gothic, which ours follows, is monospaced, 7 pixels a byte;
// so a line's left end (after leading ideographic spaces) and its right end move with the face.
// Which lines there are, and their rows, still tell a line moved, lost or added.

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

// The largest difference between two pixels' channels.
int Difference(const unsigned char* a, const unsigned char* b) {
    int d = 0;
    for (int c = 0; c < 3; ++c)
        d = std::max(d, std::abs(int(a[c]) - int(b[c])));
    return d;
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

// A yes/no per pixel of the image.
struct Mask {
    int w = 0, h = 0;
    std::vector<unsigned char> set;
    Mask(int width, int height) : w(width), h(height), set(size_t(width) * height, 0) {}
    bool At(int x, int y) const { return set[size_t(y) * w + x] != 0; }
    void Set(int x, int y) { set[size_t(y) * w + x] = 1; }
};

// The mask grown by `radius` pixels in every direction (a square), within the box.
Mask Grow(const Mask& mask, const Box& box, int radius) {
    Mask grown(mask.w, mask.h);
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x) {
            if (!mask.At(x, y)) continue;
            for (int v = std::max(box.y0, y - radius); v < std::min(box.y1, y + radius + 1); ++v)
                for (int u = std::max(box.x0, x - radius); u < std::min(box.x1, x + radius + 1);
                     ++u)
                    grown.Set(u, v);
        }
    return grown;
}

// Glyph pixels and their antialiased fringes lie this close to a text pixel.
constexpr int kGlyphFringe = 4;
// Levels by which the scene differs beneath the text: more than a faint fringe of a glyph drawn
// by one side only (a thin stroke at a fifth of its colour) or two roundings of a colour.
constexpr int kSceneDifference = 3 * kTolerance;
// A glyph drawn over a part of the scene that differs is this close to a differing scene pixel.
constexpr int kBeneathReach = 8;

// Where in the box the scene beneath the text differs between the two sides (the model on one
// side only, or drawn differently): pixels that are text on neither side, nor next to text, and
// differ; grown so as to cover the glyphs drawn over them. Text there cannot be compared: the
// scene's own light pixels look like text.
Mask SceneDiffersBeneath(const Image& ref, const Image& ours, const Box& box) {
    Mask text(ref.w, ref.h), differs(ref.w, ref.h);
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x)
            if (IsTextPixel(ref.At(x, y)) || IsTextPixel(ours.At(x, y))) text.Set(x, y);
    const Mask nearText = Grow(text, box, kGlyphFringe);
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x) {
            if (!nearText.At(x, y) && Difference(ref.At(x, y), ours.At(x, y)) > kSceneDifference)
                differs.Set(x, y);
        }
    return Grow(differs, box, kBeneathReach);
}

// Runs of rows of the box that hold text pixels outside `masked`: the text lines.
std::vector<Line> TextLines(const Image& image, const Box& box, const Mask& masked) {
    std::vector<Line> lines;
    bool previous = false;
    for (int y = box.y0; y < box.y1; ++y) {
        int left = -1, right = -1;
        for (int x = box.x0; x < box.x1; ++x)
            if (!masked.At(x, y) && IsTextPixel(image.At(x, y))) {
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
        if (std::abs(a[i].top - b[i].top) > slack || std::abs(a[i].bottom - b[i].bottom) > slack)
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
            const int d = Difference(a, b);
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

struct Share {
    long compared = 0, within = 0, oneStep = 0;
    int largest = 0;
    double Percent() const { return compared ? 100.0 * double(within) / double(compared) : 100.0; }
    double OneStepPercent() const {
        return compared ? 100.0 * double(oneStep) / double(compared) : 100.0;
    }
};

// How many pixels of the box lie within the tolerance, leaving out the HUD if asked.
Share Measure(const Image& ref, const Image& ours, const Box& box, bool hud) {
    Share s;
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x) {
            if (hud && InHud(x, y)) continue;
            const unsigned char* a = ref.At(x, y);
            const unsigned char* b = ours.At(x, y);
            const int d = Difference(a, b);
            s.largest = std::max(s.largest, d);
            ++s.compared;
            if (d <= kTolerance) ++s.within;
            if (WithinOneStep(a, b)) ++s.oneStep;
        }
    return s;
}

// Each named tile on its own; prints those that fall short. True when none does.
bool CompareCells(const Image& ref, const Image& ours, const char* namesPath, int tile) {
    std::ifstream in(namesPath);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) names.push_back(line);
    const int columns = ref.w / tile;
    if (names.empty() || columns == 0 ||
        (int(names.size()) + columns - 1) / columns * tile > ref.h) {
        std::printf("cells: %zu names from %s do not fit the image\n", names.size(), namesPath);
        return false;
    }
    int shortCells = 0;
    std::string detail;
    for (size_t i = 0; i < names.size(); ++i) {
        const int x = int(i) % columns * tile, y = int(i) / columns * tile;
        const Share s = Measure(ref, ours, Box{x, y, x + tile, y + tile}, false);
        // A cell is a small gradient: where its two sides round a colour into the stored 5 or 6
        // bits differently, a pixel is a step off, which for 5 bits is just over 8 levels.
        if (std::max(s.Percent(), s.OneStepPercent()) >= kTarget) continue;
        ++shortCells;
        char line[200];
        std::snprintf(line, sizeof line,
                      "\ncell %s within %d: %.1f%%, one step: %.1f%%, largest %d (tile at %d,%d)",
                      names[i].c_str(), kTolerance, s.Percent(), s.OneStepPercent(), s.largest, x,
                      y);
        detail += line;
    }
    std::printf("cells: %zu, %d short%s", names.size(), shortCells, detail.c_str());
    return shortCells == 0;
}

} // namespace

int main(int argc, char** argv) {
    bool hud = false;
    const char* cells = nullptr;
    int tile = 0;
    std::vector<const char*> paths;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hud") == 0)
            hud = true;
        else if (std::strcmp(argv[i], "--cells") == 0 && i + 1 < argc)
            cells = argv[++i];
        else if (std::strcmp(argv[i], "--tile") == 0 && i + 1 < argc)
            tile = std::atoi(argv[++i]);
        else
            paths.push_back(argv[i]);
    }
    if (paths.size() != 3 || (cells && tile <= 0)) {
        std::fprintf(stderr, "usage: compare [--hud | --cells NAMES --tile N] REFERENCE.png "
                             "OURS.png DIFFERENCE.png\n");
        return 2;
    }
    Image ref, ours;
    if (!Load(paths[0], &ref) || !Load(paths[1], &ours)) return 2;
    if (ref.w != ours.w || ref.h != ours.h) {
        std::printf("size %dx%d, ours %dx%d\n", ref.w, ref.h, ours.w, ours.h);
        return 1;
    }

    const Share whole = Measure(ref, ours, Box{0, 0, ref.w, ref.h}, hud);
    bool pass = whole.Percent() >= kTarget;
    std::printf("within %d: %7.3f%%  largest %3d  (within one RGB565 step: %7.3f%%)", kTolerance,
                whole.Percent(), whole.largest, whole.OneStepPercent());
    if (cells) {
        std::printf("  ");
        pass = CompareCells(ref, ours, cells, tile);
    }

    if (hud) {
        bool textOk = true;
        std::string detail;
        long maskedPixels = 0;
        for (Box box : kHudBoxes) {
            box.x1 = std::min(box.x1, ref.w);
            box.y1 = std::min(box.y1, ref.h);
            const Mask masked = SceneDiffersBeneath(ref, ours, box);
            maskedPixels += std::count(masked.set.begin(), masked.set.end(), 1);
            const std::vector<Line> a = TextLines(ref, box, masked);
            const std::vector<Line> b = TextLines(ours, box, masked);
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
        std::printf("  text %s", textOk ? "same lines" : "DIFFERS");
        if (maskedPixels > 0)
            std::printf(" (%ld pixels left out where the scene beneath differs)", maskedPixels);
        std::printf("%s", detail.c_str());
        pass = pass && textOk;
    }
    std::printf("\n");
    if (!pass && !SaveDifference(ref, ours, paths[2]))
        std::fprintf(stderr, "compare: cannot write %s\n", paths[2]);
    return pass ? 0 : 1;
}
