// The viewer's command line: an optional model file, --help and --version.
#include "app/command_line.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

const char kViewerVersion[] = "1.0.0";

namespace {

// What the viewer's model path field holds, less its terminating zero.
const size_t kLongestModelFile = 255;

const char kUsage[] =
    "usage: xofview [--keep-view] [--animation [SET]] [FILE]\n"
    "Shows the DirectX .x model FILE (default: op.x in the current directory) under the filter\n"
    "image from the current directory. Drop another .x file on the window to replace it.\n"
    "A FILE opens with the view fitted to it: the whole model, seen from the starting\n"
    "direction, held still until the mouse first moves over the window.\n"
    "\n"
    "  --keep-view  open FILE with the starting view (eye at 0,5,-10) instead\n"
    "  --animation [SET]\n"
    "               play the model's animation set SET (its name, or its number from 0;\n"
    "               the first without one) from the start; also --animation=SET\n"
    "  --help       this text\n"
    "  --version    the version\n"
    "\n"
    "Keys act once per frame (60 a second) for as long as they are held; keypad keys with\n"
    "NumLock on:\n"
    "  W / S                  walk forwards / backwards\n"
    "  A / D                  step left / right\n"
    "  mouse in the left or right part of the window\n"
    "                         keep turning left or right (faster near the edges; the middle\n"
    "                         fifth holds still)\n"
    "  mouse up / down        look up / down\n"
    "  PageUp / PageDown      raise / lower the viewpoint\n"
    "  keypad 9 / 1           move the model away / towards you, along your heading\n"
    "  keypad 7 / 3           move the model left / right\n"
    "  keypad + / -           raise / lower the model\n"
    "  keypad * / /           turn the model right / left\n"
    "  keypad 5               put the model 4 units ahead of you\n"
    "  Home                   fit the view to the model: see it whole, along your heading\n"
    "  Space                  play / pause the model's animation (once per press)\n"
    "  Tab                    play the model's next animation set from its start\n"
    "  1 / 2, 3 / 4, 5 / 6    filter tint red, green, blue down / up (1..255)\n"
    "  7 / U                  filter opacity down / up (8..255)\n"
    "  8 / I, 9 / O, 0 / P    the light's ambient red, green, blue down / up (shown as 1..100)\n"
    "  Esc                    quit\n";

CommandLine Finish(int exitStatus) {
    CommandLine commandLine;
    commandLine.runViewer = false;
    commandLine.exitStatus = exitStatus;
    return commandLine;
}

CommandLine Refuse(const std::string& message) {
    std::fprintf(stderr, "xofview: %s\n(see xofview --help)\n", message.c_str());
    return Finish(2);
}

} // namespace

bool ModelFileName(const char* argument, UINT argumentCodePage, size_t maxBytes, std::string* name,
                   std::string* problem) {
    // Through UTF-16, as Windows converts: what code page 932 lacks comes back as a default.
    const int wideLength = MultiByteToWideChar(argumentCodePage, 0, argument, -1, nullptr, 0);
    std::basic_string<WCHAR> wide(wideLength > 0 ? size_t(wideLength) : 0, WCHAR(0));
    BOOL usedDefault = FALSE;
    int length = 0;
    if (wideLength > 0 &&
        MultiByteToWideChar(argumentCodePage, 0, argument, -1, wide.data(), wideLength) > 0)
        length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), -1, nullptr, 0,
                                     nullptr, &usedDefault);
    std::string converted(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0)
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), -1, converted.data(), length,
                            nullptr, &usedDefault);
    if (!converted.empty()) converted.pop_back(); // the terminating zero
    // '?' is what the C runtime gives for a character the code page lacks; no file name holds one.
    if (length <= 0 || usedDefault || converted.find('?') != std::string::npos) {
        *problem = "\"" + std::string(argument) + "\" cannot be written in code page 932";
        return false;
    }
    if (converted.empty() || converted.size() > maxBytes) {
        *problem = converted.empty()
                       ? "the file name is empty"
                       : "its path is longer than " + std::to_string(maxBytes) + " bytes";
        return false;
    }
    *name = converted;
    return true;
}

CommandLine ReadCommandLine(int argc, char** argv, UINT argumentCodePage) {
    CommandLine commandLine;
    bool optionsEnded = false;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (!optionsEnded && argument[0] == '-' && argument[1] != '\0') {
            if (std::strcmp(argument, "--") == 0) {
                optionsEnded = true;
            } else if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
                std::fputs(kUsage, stdout);
                return Finish(0);
            } else if (std::strcmp(argument, "--keep-view") == 0) {
                commandLine.keepView = true;
            } else if (std::strcmp(argument, "--animation") == 0) {
                commandLine.animate = true;
            } else if (std::strncmp(argument, "--animation=", 12) == 0) {
                commandLine.animate = true;
                commandLine.animationSet = argument + 12;
            } else if (std::strcmp(argument, "--version") == 0) {
                std::printf("xofview %s\n", kViewerVersion);
                return Finish(0);
            } else {
                return Refuse(std::string("unknown option: ") + argument);
            }
        } else {
            files.push_back(argument);
        }
    }
    // `--animation SET FILE`: with two names, the first is the set's.
    if (commandLine.animate && commandLine.animationSet.empty() && files.size() == 2) {
        commandLine.animationSet = files[0];
        files.erase(files.begin());
    }
    if (files.size() > 1) return Refuse("one model at a time: " + std::string(files[1]));
    // A set's name is matched as the file spells it, in code page 932.
    std::string problem;
    if (!commandLine.animationSet.empty() &&
        !ModelFileName(commandLine.animationSet.c_str(), argumentCodePage, kLongestModelFile,
                       &commandLine.animationSet, &problem))
        return Refuse("animation set ignored: " + problem);
    if (const char* file = files.empty() ? nullptr : files[0]) {
        if (!ModelFileName(file, argumentCodePage, kLongestModelFile, &commandLine.modelFile,
                           &problem))
            return Refuse("file ignored: " + problem);
    }
    return commandLine;
}
