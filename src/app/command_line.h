// The viewer's command line: `xofview [FILE]`, --help and --version.
#pragma once

#include <windows.h>

#include <string>

extern const char kViewerVersion[];

struct CommandLine {
    bool runViewer = true; // false: the process ends with exitStatus, having said why
    int exitStatus = 0;
    std::string modelFile;    // code page 932; empty: the viewer's own "op.x"
    bool keepView = false;    // --keep-view: a model file opens with the starting view, not fitted
    bool animate = false;     // --animation [SET]: the model's animation plays from the start
    std::string animationSet; // its name or number; empty: the first
};

// Reads the arguments, which arrive in argumentCodePage (CP_UTF8 on Linux, the ANSI code page on
// Windows). Prints help, the version or what was wrong itself.
CommandLine ReadCommandLine(int argc, char** argv, UINT argumentCodePage);

// A file name given in argumentCodePage as the viewer's file functions take it: code page 932,
// at most maxBytes bytes. Returns false with the reason in `problem` (worded as for a dropped
// file) when code page 932 cannot spell it or it is too long.
bool ModelFileName(const char* argument, UINT argumentCodePage, size_t maxBytes, std::string* name,
                   std::string* problem);
