// xofview-shot: runs the viewer's start-up and frames in the current directory and writes one
// frame's back buffer to a PNG. For thumbnails, bug reports and tests.
#include "app/command_line.h"
#include "app/viewer.h"
#include "state/viewer_state.h"
#include "controls/controls.h"
#include "graphics/graphics.h"
#include "render/frame.h"
#include "scene/animated_model.h"
#include "scene/camera.h"
#include "scene/mesh_model.h"

#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#ifdef _WIN32
#include <shlobj.h>
#else
#include "testing/keyboard_seam.h"
#include "testing/message_seam.h"
#endif

namespace {

const char kUsage[] =
    "usage: xofview-shot [options]\n"
    "       xofview-shot --thumbnail SIZE IN OUT [IN OUT]...\n"
    "Runs xofview in the current directory and writes the back buffer of one frame to a PNG.\n"
    "\n"
    "  --model FILE         the model to load instead of op.x\n"
    "  --frame N            the frame to write, counted from 1 (default 1)\n"
    "  --fit                fit the view to each model as it comes in, as xofview FILE opens\n"
    "                       one: the model whole, the mouse at the middle (lastMouseX=400);\n"
    "                       --set values are applied after the fit\n"
    "  --out FILE           the PNG to write (default xofview-shot.png)\n"
    "                       Repeated --model M --out P pairs shoot several models in one run:\n"
    "                       the device starts once and each next model comes in as a dropped\n"
    "                       file does, keeping the view and values of the one before.\n"
    "  --thumbnail SIZE IN OUT [IN OUT]...\n"
    "                       the model IN alone (no text, no filter), framed to its bounds from\n"
    "                       the viewer's starting direction, as a SIZE x SIZE PNG OUT (SIZE 16..\n"
    "                       4096). A model that does not load gives no OUT and exit status 1.\n"
    "  --animation SET      pose each model by its animation set SET (a name, or its number\n"
    "                       from 0), drawn through its frame hierarchy as the viewer plays it;\n"
    "                       held still unless --keys plays it (Space), at 60 frames a second\n"
    "  --time SECONDS       the set's position to hold (default 0); with --animation\n"
    "  --set FIELD=VALUE    set a viewer value before the first frame; repeatable. Fields:\n"
    "                       filterRed filterGreen filterBlue filterAlpha (0..255),\n"
    "                       ambientRed ambientGreen ambientBlue (0.05..1, the shown percent\n"
    "                       follows), heading lookHeight modelYaw (floats),\n"
    "                       eyePosition modelPosition (x,y,z), lastMouseX lastMouseY\n"
    "  --keys KEYS@FROM-TO  hold keys during frames FROM..TO; repeatable (not on Windows).\n"
    "                       KEYS is a comma list: A..Z, 0..9, Esc, PageUp, PageDown, Home,\n"
    "                       Space, Tab,\n"
    "                       Num0..Num9, NumAdd, NumSubtract, NumMultiply, NumDivide\n"
    "  --help               this text\n"
    "  --version            the version\n"
    "\n"
    "Example: xofview-shot --set lastMouseX=400 --keys 2,U@1-60 --frame 60 --out tint.png\n";

struct HeldKeys {
    std::vector<int> keys;
    int from;
    int to;
};

#ifdef _WIN32
// The C runtime hands main its arguments in the ANSI code page.
const UINT kArgumentCodePage = CP_ACP;
#else
const UINT kArgumentCodePage = CP_UTF8;
#endif

// What the viewer's model path field holds, less its terminating zero.
const size_t kLongestModelFile = 255;
const D3DCOLOR kClearColour = 0xFF3CA3B9; // the viewer's, behind every frame
const int kSmallestThumbnail = 16;
const int kLargestThumbnail = 4096;

// One model and the PNG it goes to; names as given on the command line.
struct Shot {
    std::string model;
    std::string out;
};

struct Options {
    std::vector<Shot> shots;
    int thumbnailSize = 0; // 0: frames of the viewer, not thumbnails
    int frame = 1;
    bool fit = false;     // --fit
    bool animate = false; // --animation
    std::string animationSet;
    double time = 0.0; // --time
    std::vector<std::string> settings;
    std::vector<HeldKeys> held;
};

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "xofview-shot: %s\n(see xofview-shot --help)\n", message.c_str());
    std::exit(2);
}

bool ParseInt(const std::string& text, long low, long high, long* value) {
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

bool ParseFloat(const std::string& text, float* value) {
    char* end = nullptr;
    const float parsed = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0') return false;
    *value = parsed;
    return true;
}

bool ParseVector(const std::string& text, Vector3* v) {
    float parts[3];
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t comma = text.find(',', start);
        const bool last = i == 2;
        if (last != (comma == std::string::npos)) return false;
        if (!ParseFloat(text.substr(start, last ? std::string::npos : comma - start), &parts[i]))
            return false;
        start = comma + 1;
    }
    *v = {parts[0], parts[1], parts[2]};
    return true;
}

#ifndef _WIN32
struct KeyName {
    const char* name;
    int virtualKey;
};

const KeyName kKeyNames[] = {
    {"Esc", VK_ESCAPE},       {"PageUp", VK_PRIOR},         {"PageDown", VK_NEXT},
    {"Home", VK_HOME},        {"Space", VK_SPACE},          {"Tab", VK_TAB},
    {"NumAdd", VK_ADD},       {"NumSubtract", VK_SUBTRACT}, {"NumMultiply", VK_MULTIPLY},
    {"NumDivide", VK_DIVIDE},
};

int VirtualKeyOf(const std::string& name) {
    if (name.size() == 1 &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9')))
        return name[0];
    if (name.size() == 4 && name.compare(0, 3, "Num") == 0 && name[3] >= '0' && name[3] <= '9')
        return VK_NUMPAD0 + (name[3] - '0');
    for (const KeyName& key : kKeyNames)
        if (name == key.name) return key.virtualKey;
    return 0;
}

HeldKeys ParseKeys(const std::string& text) {
    const size_t at = text.find('@');
    const size_t dash = text.find('-', at == std::string::npos ? 0 : at);
    long from = 0, to = 0;
    if (at == std::string::npos || dash == std::string::npos ||
        !ParseInt(text.substr(at + 1, dash - at - 1), 1, 1000000, &from) ||
        !ParseInt(text.substr(dash + 1), from, 1000000, &to))
        Fail("--keys takes KEYS@FROM-TO, such as W,2@1-30: " + text);
    HeldKeys held{{}, int(from), int(to)};
    size_t start = 0;
    while (start <= at) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos || comma > at) comma = at;
        const std::string name = text.substr(start, comma - start);
        const int key = VirtualKeyOf(name);
        if (!key) Fail("unknown key '" + name + "' in --keys");
        held.keys.push_back(key);
        start = comma + 1;
    }
    return held;
}
#endif

void ApplySetting(const std::string& setting) {
    const size_t equals = setting.find('=');
    if (equals == std::string::npos) Fail("--set takes FIELD=VALUE: " + setting);
    const std::string field = setting.substr(0, equals);
    const std::string value = setting.substr(equals + 1);
    ViewerState& s = viewer;
    long number = 0;
    float real = 0.0f;

    struct ByteField {
        const char* name;
        uint16_t* target;
    };
    const ByteField bytes[] = {{"filterRed", &s.filterRed},
                               {"filterGreen", &s.filterGreen},
                               {"filterBlue", &s.filterBlue},
                               {"filterAlpha", &s.filterAlpha}};
    for (const ByteField& f : bytes)
        if (field == f.name) {
            if (!ParseInt(value, 0, 255, &number)) Fail(field + " takes 0..255: " + value);
            *f.target = uint16_t(number);
            return;
        }

    struct AmbientField {
        const char* name;
        float* target;
        uint16_t* percent;
    };
    const AmbientField ambients[] = {{"ambientRed", &s.ambientRed, &s.ambientRedPercent},
                                     {"ambientGreen", &s.ambientGreen, &s.ambientGreenPercent},
                                     {"ambientBlue", &s.ambientBlue, &s.ambientBluePercent}};
    for (const AmbientField& f : ambients)
        if (field == f.name) {
            if (!ParseFloat(value, &real) || !(real >= 0.05f && real <= 1.0f))
                Fail(field + " takes 0.05..1: " + value);
            *f.target = real;
            *f.percent = uint16_t(real * 100.0f + 0.5f);
            return;
        }

    struct FloatField {
        const char* name;
        float* target;
    };
    const FloatField floats[] = {
        {"heading", &s.heading}, {"lookHeight", &s.lookHeight}, {"modelYaw", &s.modelYaw}};
    for (const FloatField& f : floats)
        if (field == f.name) {
            if (!ParseFloat(value, &real)) Fail(field + " takes a number: " + value);
            *f.target = real;
            return;
        }

    if (field == "eyePosition" || field == "modelPosition") {
        Vector3& target = field == "eyePosition" ? s.eyePosition : s.modelPosition;
        if (!ParseVector(value, &target)) Fail(field + " takes x,y,z: " + value);
        return;
    }
    if (field == "lastMouseX" || field == "lastMouseY") {
        if (!ParseInt(value, -32768, 32767, &number)) Fail(field + " takes -32768..32767");
        (field == "lastMouseX" ? s.lastMouseX : s.lastMouseY) = int16_t(number);
        return;
    }
    Fail("unknown field '" + field + "' for --set");
}

// --thumbnail SIZE IN OUT [IN OUT]...: the pairs run up to the next option.
int ParseThumbnails(int argc, char** argv, int i, Options* options) {
    long size = 0;
    if (i + 1 >= argc || !ParseInt(argv[i + 1], kSmallestThumbnail, kLargestThumbnail, &size))
        Fail("--thumbnail takes a SIZE from 16 to 4096, then IN OUT pairs");
    options->thumbnailSize = int(size);
    i += 2;
    int pairs = 0;
    while (i < argc && std::strncmp(argv[i], "--", 2) != 0) {
        if (i + 1 >= argc) Fail(std::string("--thumbnail: no OUT for ") + argv[i]);
        options->shots.push_back({argv[i], argv[i + 1]});
        i += 2;
        ++pairs;
    }
    if (pairs == 0) Fail("--thumbnail takes at least one IN OUT pair");
    return i - 1;
}

void CheckShots(Options* options, bool thumbnails, bool framesAsked) {
    if (thumbnails && (framesAsked || options->thumbnailSize == 0))
        Fail("--thumbnail takes no --model, --out, --frame, --fit, --set or --keys");
    if (options->shots.empty()) options->shots.push_back({"op.x", ""});
    if (options->shots.size() == 1 && options->shots[0].out.empty())
        options->shots[0].out = "xofview-shot.png";
    for (const Shot& shot : options->shots)
        if (shot.out.empty()) Fail("--model " + shot.model + " has no --out");
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    bool thumbnails = false;
    bool framesAsked = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (arg == "--version") {
            std::printf("xofview-shot %s\n", kViewerVersion);
            std::exit(0);
        }
        if (arg == "--thumbnail") {
            if (thumbnails) Fail("--thumbnail once, with all its IN OUT pairs");
            thumbnails = true;
            i = ParseThumbnails(argc, argv, i, &options);
            continue;
        }
        // The animation options go with frames and thumbnails alike.
        if ((arg == "--animation" || arg == "--time") && i + 1 < argc) {
            const std::string value = argv[++i];
            char* end = nullptr;
            if (arg == "--animation") {
                options.animate = true;
                options.animationSet = value;
            } else if (options.time = std::strtod(value.c_str(), &end);
                       value.empty() || *end != '\0' || !(options.time >= 0) ||
                       !std::isfinite(options.time)) {
                Fail("--time takes a number of seconds from 0: " + value);
            }
            continue;
        }
        framesAsked = true;
        if (arg == "--fit") {
            options.fit = true;
            continue;
        }
        if (i + 1 >= argc) Fail("unknown option or missing value: " + arg);
        const std::string value = argv[++i];
        long number = 0;
        if (arg == "--model") {
            options.shots.push_back({value, ""});
        } else if (arg == "--out") {
            // An --out belongs to the --model before it; alone, it is op.x's.
            if (options.shots.empty()) options.shots.push_back({"op.x", ""});
            if (!options.shots.back().out.empty()) Fail("--out " + value + " has no --model");
            options.shots.back().out = value;
        } else if (arg == "--frame") {
            if (!ParseInt(value, 1, 1000000, &number)) Fail("--frame takes a number from 1");
            options.frame = int(number);
        } else if (arg == "--set") {
            options.settings.push_back(value);
        } else if (arg == "--keys") {
#ifdef _WIN32
            Fail("--keys needs the Linux platform's key seam");
#else
            options.held.push_back(ParseKeys(value));
#endif
        } else {
            Fail("unknown option: " + arg);
        }
    }
    CheckShots(&options, thumbnails, framesAsked);
    if (options.time > 0 && !options.animate) Fail("--time goes with --animation");
    return options;
}

void HoldKeysOf(const Options& options, int frame) {
#ifndef _WIN32
    xoftest::ReleaseAllKeys();
    for (const HeldKeys& held : options.held)
        if (frame >= held.from && frame <= held.to)
            for (int key : held.keys)
                xoftest::SetKeyDown(key, true);
#else
    (void)options;
    (void)frame;
#endif
}

bool SaveBackBuffer(const std::string& ansiPath) {
    IDirect3DSurface9* surface = nullptr;
    if (viewer.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface) != 0) return false;
    const HRESULT result =
        D3DXSaveSurfaceToFileA(ansiPath.c_str(), D3DXIFF_PNG, surface, nullptr, nullptr);
    surface->Release();
    return result == 0;
}

// The name as the platform's file functions take it, or a message and false.
bool AnsiName(const std::string& name, size_t longest, std::string* ansi) {
    std::string problem;
    if (ModelFileName(name.c_str(), kArgumentCodePage, longest, ansi, &problem)) return true;
    std::fprintf(stderr, "xofview-shot: %s: %s\n", name.c_str(), problem.c_str());
    return false;
}

// Hands every waiting message to the window procedure; false once WM_QUIT has come.
bool DispatchWaitingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return false;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

// The next model comes in as a file dropped on the window does, through WM_DROPFILES.
#ifdef _WIN32
bool DropFile(const std::string& path) {
    // GHND zero-fills: the list of names ends with the two zeros after this one name.
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + path.size() + 2);
    if (!memory) return false;
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = FALSE;
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.data(), path.size());
    GlobalUnlock(memory);
    if (PostMessageA(viewer.windowHandle, WM_DROPFILES, WPARAM(memory), 0)) return true;
    GlobalFree(memory);
    return false;
}
#else
bool DropFile(const std::string& path) {
    return xoftest::DropFiles(viewer.windowHandle, {path});
}
#endif

// Frames are drawn on a schedule of their own: an animation played by --keys moves on 1/60 s a
// frame, whatever the time the frames take.
long framesDrawn = 0;
double FrameClock() {
    return double(framesDrawn) / 60.0;
}

// Poses the model that came in by --animation and --time, held there. False, said on stderr,
// when it has no such set to play.
bool PoseAsAsked(const Options& options, const std::string& model) {
    if (!options.animate) return true;
    if (!PlayAnimationSet(options.animationSet.c_str())) {
        if (viewer.animatedModel)
            std::fprintf(stderr, "xofview-shot: %s has no animation set \"%s\"\n", model.c_str(),
                         options.animationSet.c_str());
        return false;
    }
    AnimatedModel* animated = viewer.animatedModel;
    PoseAnimatedModel(animated, animated->set, options.time);
    animated->playing = false;
    return true;
}

// Brings in shot i's model: the first at start-up, each next one dropped on the window; posed
// and fitted as asked. True when it loaded and is the model now.
bool BringInModel(const Options& options, size_t i) {
    const std::string& model = options.shots[i].model;
    bool loaded = false;
    if (i == 0) {
        std::string ansiModel;
        StartViewer(AnsiName(model, kLongestModelFile, &ansiModel) ? ansiModel.c_str() : "");
        loaded = viewer.model && viewer.model->mesh;
    } else {
        const MeshModel* before = viewer.model;
        // A drop that loads replaces the model; one that does not keeps it.
        loaded = DropFile(model) && DispatchWaitingMessages() && viewer.model != before;
    }
    if (loaded) loaded = PoseAsAsked(options, model);
    if (loaded && options.fit) {
        if (i == 0)
            FitViewAsOpened();
        else
            FitViewToModel();
    }
    if (i == 0)
        for (const std::string& setting : options.settings)
            ApplySetting(setting);
    return loaded;
}

// Frames 1..options.frame of the viewer, the last one written to the shot's PNG.
bool ShootFrames(const Options& options, const std::string& ansiOut) {
    for (int frame = 1; frame <= options.frame; ++frame) {
        if (!DispatchWaitingMessages()) {
            std::fprintf(stderr, "xofview-shot: the viewer quit at frame %d\n", frame);
            return false;
        }
        HoldKeysOf(options, frame);
        ++framesDrawn;
        UpdateControls();
        RenderFrame();
        bool written = true;
        if (frame == options.frame) written = SaveBackBuffer(ansiOut);
        PresentFrame();
        if (!written) return false;
    }
    return true;
}

// Draws the model alone into a square viewport of the back buffer, centred on its bounds and
// seen along the viewer's starting line of sight, lit by the viewer's light. Returns the side.
int DrawThumbnailScene() {
    const int side = std::min(viewer.backBufferWidth, viewer.backBufferHeight);
    const Vector3 origin = {0.0f, 0.0f, 0.0f};
    Vector3 centre = origin;
    float radius = 0.0f; // a model without vertices: a sphere of 1 about the origin
    if (viewer.animatedModel)
        MeasureAnimatedModel(viewer.animatedModel, origin, origin, &centre, &radius);
    else
        MeasureMeshModel(viewer.model, origin, origin, &centre, &radius);

    // Framed as the viewer fits a model when it opens one, along its starting line of sight
    // from (0, 5, -10) to (0, 4, -8), with no near or far plane to keep to; the model is drawn
    // about the origin, so a model far from it keeps its precision.
    D3DXVECTOR3 sight = {0.0f, -1.0f, 2.0f};
    D3DXVec3Normalize(&sight, &sight);
    const ViewFit fit = FitViewToSphere(origin, radius, {sight.x, sight.y, sight.z}, kFieldOfView,
                                        1.0f, 0.0f, std::numeric_limits<float>::infinity());
    const float distance = fit.distance;
    if (!(radius > 0.0f)) radius = 1.0f;
    const Vector3 up = {0.0f, 1.0f, 0.0f};

    IDirect3DDevice9* device = viewer.device;
    // The whole target is cleared, then the square drawn: a clear of part of it is a draw of
    // its own, with a program compiled for it, and only the square is read.
    const D3DVIEWPORT9 whole = {
        0, 0, DWORD(viewer.backBufferWidth), DWORD(viewer.backBufferHeight), 0.0f, 1.0f};
    const D3DVIEWPORT9 square = {0, 0, DWORD(side), DWORD(side), 0.0f, 1.0f};
    device->SetViewport(&whole);
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColour, 1.0f, 0);
    device->SetViewport(&square);
    ApplyLight();
    SetViewTransform(fit.eye, origin, up);
    SetProjectionTransform(kFieldOfView, 1.0f, distance / 100, distance + 2 * radius);
    const Vector3 placed = {-centre.x, -centre.y, -centre.z};
    if (viewer.animatedModel)
        DrawAnimatedModel(viewer.animatedModel, placed, origin);
    else
        DrawMeshModel(viewer.model, placed, origin);
    device->EndScene();
    return side;
}

// The drawn square as the back buffer's copy holds it, locked: side x side from its top left.
struct Square {
    const char* bits;
    int pitch;
    D3DFORMAT format; // R5G6B5, X8R8G8B8 or A8R8G8B8
    int side;
};

// Row y of the square as red, green and blue levels (0..255), three floats a pixel. Rows are
// widened one at a time, as they are blended: a whole square of floats is megabytes of fresh
// pages, which cost more than the arithmetic they would save.
void WidenRow(const Square& square, int y, float* out) {
    const char* row = square.bits + size_t(y) * square.pitch;
    if (square.format == D3DFMT_R5G6B5) {
        // 5- and 6-bit levels to the nearest of 256.
        static const auto levels = [] {
            std::array<float, 96> table{}; // 32 five-bit levels, then 64 six-bit ones
            for (uint32_t v = 0; v < 64; ++v) {
                if (v < 32) table[v] = float((v * 255 + 15) / 31);
                table[32 + v] = float((v * 255 + 31) / 63);
            }
            return table;
        }();
        const float *five = levels.data(), *six = five + 32;
        for (int x = 0; x < square.side; ++x, out += 3) {
            uint16_t p;
            std::memcpy(&p, row + size_t(x) * 2, 2);
            out[0] = five[(p >> 11) & 31];
            out[1] = six[(p >> 5) & 63];
            out[2] = five[p & 31];
        }
        return;
    }
    for (int x = 0; x < square.side; ++x, out += 3) {
        uint32_t p;
        std::memcpy(&p, row + size_t(x) * 4, 4);
        out[0] = float((p >> 16) & 255);
        out[1] = float((p >> 8) & 255);
        out[2] = float(p & 255);
    }
}

// Where one sample along an axis falls: the two pixels either side and the weight of each.
struct Tap {
    int low, high;
    float highWeight, lowWeight; // lowWeight = 1 - highWeight
};

// The samples of each scaled pixel along one axis, `samples` to a pixel, at the centres of
// equal parts of its area, clamped to the square.
std::vector<Tap> AxisTaps(int side, int size, int samples, float step) {
    std::vector<Tap> taps;
    taps.reserve(size_t(size) * samples);
    for (int d = 0; d < size; ++d)
        for (int s = 0; s < samples; ++s) {
            const float at =
                std::clamp((d + (s + 0.5f) / samples) * step - 0.5f, 0.0f, float(side - 1));
            const int low = int(at), high = std::min(low + 1, side - 1);
            const float fraction = at - low;
            taps.push_back({low, high, fraction, 1 - fraction});
        }
    return taps;
}

// One source row (three channels a pixel) blended between each column tap's two pixels, `size`
// pixels of `samples` taps each. The result is one plane per sample: plane s holds every
// pixel's sample s, three channels each, so the column sums below run over contiguous floats.
void BlendRow(const float* row, const std::vector<Tap>& columns, int size, int samples,
              std::vector<float>* out) {
    out->resize(columns.size() * 3);
    float* const planes = out->data();
    for (int x = 0; x < size; ++x)
        for (int s = 0; s < samples; ++s) {
            const Tap& t = columns[size_t(x) * samples + s];
            const float *a = row + size_t(t.low) * 3, *b = row + size_t(t.high) * 3;
            float* o = planes + (size_t(s) * size + x) * 3;
            for (int k = 0; k < 3; ++k)
                o[k] = a[k] * t.lowWeight + b[k] * t.highWeight;
        }
}

// std::lround for a level (0 <= v < 2^23), without the library call: the fraction is exact.
uint32_t RoundLevel(float v) {
    const uint32_t whole = uint32_t(v);
    return whole + (v - float(whole) >= 0.5f);
}

// The square scaled to size x size: each pixel averages the bilinear samples its area covers,
// so a smaller thumbnail is smoothed rather than picked out of every n-th pixel. Each source
// row is blended along the column taps once, for all the samples that fall on it; the sums
// are the same, in the same order, as sampling each pixel and channel on its own.
std::vector<uint32_t> Scale(const Square& square, int size) {
    const int side = square.side;
    const float step = float(side) / size;
    const int samples = std::max(1, int(std::ceil(step)));
    const std::vector<Tap> columns = AxisTaps(side, size, samples, step);
    const std::vector<Tap> rows = AxisTaps(side, size, samples, step);
    // Blended rows by source row, the most recent few kept: the row taps only move down.
    constexpr int kKept = 8;
    int keptRow[kKept];
    std::vector<float> kept[kKept];
    std::vector<float> widened(size_t(side) * 3);
    std::fill(std::begin(keptRow), std::end(keptRow), -1);
    int next = 0;
    const auto blended = [&](int row) -> const float* {
        for (int k = 0; k < kKept; ++k)
            if (keptRow[k] == row) return kept[k].data();
        const int k = next++ % kKept;
        keptRow[k] = row;
        WidenRow(square, row, widened.data());
        BlendRow(widened.data(), columns, size, samples, &kept[k]);
        return kept[k].data();
    };
    std::vector<uint32_t> scaled(size_t(size) * size);
    std::vector<float> sums(size_t(size) * 3);
    for (int y = 0; y < size; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0f);
        for (int sy = 0; sy < samples; ++sy) {
            const Tap& ty = rows[size_t(y) * samples + sy];
            const float lowWeight = ty.lowWeight, highWeight = ty.highWeight;
            const float* top = blended(ty.low);
            const float* bottom = blended(ty.high);
            float* const sum = sums.data();
            const size_t plane = size_t(size) * 3;
            for (int sx = 0; sx < samples; ++sx) {
                const float* t = top + sx * plane;
                const float* b = bottom + sx * plane;
                for (size_t i = 0; i < plane; ++i)
                    sum[i] += t[i] * lowWeight + b[i] * highWeight;
            }
        }
        for (int x = 0; x < size; ++x) {
            uint32_t rgb = 0;
            for (int k = 0; k < 3; ++k)
                rgb |= RoundLevel(sums[size_t(x) * 3 + k] / (samples * samples)) << (16 - 8 * k);
            scaled[size_t(y) * size + x] = rgb;
        }
    }
    return scaled;
}

// The back buffer's square, copied and locked, scaled to size x size into `scaled`.
bool ReadAndScaleSquare(int side, int size, std::vector<uint32_t>* scaled) {
    IDirect3DDevice9* device = viewer.device;
    IDirect3DSurface9* backBuffer = nullptr;
    IDirect3DSurface9* copy = nullptr;
    D3DSURFACE_DESC desc = {};
    D3DLOCKED_RECT locked = {};
    bool read = device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer) == 0 &&
                backBuffer->GetDesc(&desc) == 0 &&
                (desc.Format == D3DFMT_R5G6B5 || desc.Format == D3DFMT_X8R8G8B8 ||
                 desc.Format == D3DFMT_A8R8G8B8) &&
                device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                    D3DPOOL_SYSTEMMEM, &copy, nullptr) == 0 &&
                device->GetRenderTargetData(backBuffer, copy) == 0 &&
                copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == 0;
    if (read) {
        *scaled =
            Scale({static_cast<const char*>(locked.pBits), locked.Pitch, desc.Format, side}, size);
        copy->UnlockRect();
    }
    if (copy) copy->Release();
    if (backBuffer) backBuffer->Release();
    return read;
}

bool WritePng(const std::vector<uint32_t>& pixels, int size, const std::string& ansiOut) {
    IDirect3DSurface9* surface = nullptr;
    D3DLOCKED_RECT locked = {};
    if (viewer.device->CreateOffscreenPlainSurface(UINT(size), UINT(size), D3DFMT_X8R8G8B8,
                                                   D3DPOOL_SYSTEMMEM, &surface, nullptr) != 0)
        return false;
    bool written = surface->LockRect(&locked, nullptr, 0) == 0;
    if (written) {
        for (int y = 0; y < size; ++y)
            std::memcpy(static_cast<char*>(locked.pBits) + size_t(y) * locked.Pitch,
                        &pixels[size_t(y) * size], size_t(size) * 4);
        surface->UnlockRect();
        written =
            D3DXSaveSurfaceToFileA(ansiOut.c_str(), D3DXIFF_PNG, surface, nullptr, nullptr) == 0;
    }
    surface->Release();
    return written;
}

bool ShootThumbnail(int size, const std::string& ansiOut) {
    const int side = DrawThumbnailScene();
    std::vector<uint32_t> scaled;
    return ReadAndScaleSquare(side, size, &scaled) && WritePng(scaled, size, ansiOut);
}

} // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
#ifndef _WIN32
    // No display needed: the pixels come from the back buffer.
    if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
#endif
    SetAnimationClock(FrameClock);
    // Settings are checked before start-up (which resets the state) and applied after it,
    // before the first frame.
    for (const std::string& setting : options.settings)
        ApplySetting(setting);

    int status = 0;
    for (size_t i = 0; i < options.shots.size(); ++i) {
        const Shot& shot = options.shots[i];
        std::string ansiOut;
        const bool loaded = BringInModel(options, i);
        if (!AnsiName(shot.out, MAX_PATH - 1, &ansiOut)) {
            status = 1;
            continue;
        }
        // A model that did not load leaves the one before it in view (a first one that does
        // not load leaves the viewer's empty scene, a frame worth having; not a thumbnail).
        if (!loaded && (options.thumbnailSize || i > 0)) {
            std::fprintf(stderr, "xofview-shot: no picture of %s\n", shot.model.c_str());
            status = 1;
            continue;
        }
        const bool written = options.thumbnailSize ? ShootThumbnail(options.thumbnailSize, ansiOut)
                                                   : ShootFrames(options, ansiOut);
        if (!written) {
            std::fprintf(stderr, "xofview-shot: could not write %s\n", shot.out.c_str());
            status = 1;
            if (!options.thumbnailSize) break;
        }
    }
    ShutdownViewer();
    return status;
}
