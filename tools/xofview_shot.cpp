// xofview-shot: runs the viewer's start-up and frames in the current directory and writes one
// frame's back buffer to a PNG. For thumbnails, bug reports and tests.
#include "app/viewer.h"
#include "state/viewer_state.h"
#include "controls/controls.h"
#include "render/frame.h"

#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include "testing/keyboard_seam.h"
#endif

namespace {

const char kUsage[] =
    "usage: xofview-shot [options]\n"
    "Runs xofview in the current directory and writes the back buffer of one frame to a PNG.\n"
    "\n"
    "  --model FILE         the model to load instead of op.x\n"
    "  --frame N            the frame to write, counted from 1 (default 1)\n"
    "  --out FILE           the PNG to write (default xofview-shot.png)\n"
    "  --set FIELD=VALUE    set a viewer value before the first frame; repeatable. Fields:\n"
    "                       filterRed filterGreen filterBlue filterAlpha (0..255),\n"
    "                       ambientRed ambientGreen ambientBlue (0.05..1, the shown percent\n"
    "                       follows), heading lookHeight modelYaw (floats),\n"
    "                       eyePosition modelPosition (x,y,z), lastMouseX lastMouseY\n"
    "  --keys KEYS@FROM-TO  hold keys during frames FROM..TO; repeatable (not on Windows).\n"
    "                       KEYS is a comma list: A..Z, 0..9, Esc, PageUp, PageDown,\n"
    "                       Num0..Num9, NumAdd, NumSubtract, NumMultiply, NumDivide\n"
    "  --help               this text\n"
    "\n"
    "Example: xofview-shot --set lastMouseX=400 --keys 2,U@1-60 --frame 60 --out tint.png\n";

struct HeldKeys {
    std::vector<int> keys;
    int from;
    int to;
};

struct Options {
    std::string model = "op.x";
    std::string out = "xofview-shot.png";
    int frame = 1;
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

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) Fail("unknown option or missing value: " + arg);
        const std::string value = argv[++i];
        long number = 0;
        if (arg == "--model") {
            if (value.size() >= sizeof viewer.modelPath) Fail("--model name too long");
            options.model = value;
        } else if (arg == "--frame") {
            if (!ParseInt(value, 1, 1000000, &number)) Fail("--frame takes a number from 1");
            options.frame = int(number);
        } else if (arg == "--out") {
            options.out = value;
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

bool SaveBackBuffer(const std::string& path) {
    IDirect3DSurface9* surface = nullptr;
    if (viewer.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface) != 0) return false;
    const HRESULT result =
        D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_PNG, surface, nullptr, nullptr);
    surface->Release();
    return result == 0;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
#ifndef _WIN32
    // No display needed: the pixels come from the back buffer.
    if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
#endif
    // Settings are checked before start-up (which resets the state) and applied after it,
    // before the first frame.
    for (const std::string& setting : options.settings)
        ApplySetting(setting);
    StartViewer(options.model.c_str());
    for (const std::string& setting : options.settings)
        ApplySetting(setting);

    int status = 0;
    for (int frame = 1; frame <= options.frame; ++frame) {
        MSG message;
        bool quit = false;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                break;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (quit) {
            std::fprintf(stderr, "xofview-shot: the viewer quit at frame %d\n", frame);
            status = 1;
            break;
        }
        HoldKeysOf(options, frame);
        UpdateControls();
        RenderFrame();
        if (frame == options.frame && !SaveBackBuffer(options.out)) {
            std::fprintf(stderr, "xofview-shot: could not write %s\n", options.out.c_str());
            status = 1;
        }
        PresentFrame();
    }
    ShutdownViewer();
    return status;
}
