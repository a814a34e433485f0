// xofview's entry point: `xofview [FILE]`.
#include "app/command_line.h"
#include "app/desktop_notice.h"
#include "app/viewer.h"

#include <windows.h>

namespace {

#ifdef _WIN32
// The C runtime hands main its arguments in the ANSI code page.
const UINT kArgumentCodePage = CP_ACP;
#else
const UINT kArgumentCodePage = CP_UTF8;
#endif

} // namespace

int main(int argc, char** argv) {
    const CommandLine commandLine = ReadCommandLine(argc, argv, kArgumentCodePage);
    if (!commandLine.runViewer) return commandLine.exitStatus;
#ifndef _WIN32
    // Started from the desktop, nobody reads standard error (Windows gives a GUI program none).
    NotifyLoadFailuresWithoutTerminal();
#endif
    const char* animationSet = commandLine.animate ? commandLine.animationSet.c_str() : nullptr;
    if (commandLine.modelFile.empty()) RunViewer(nullptr, false, animationSet);
    RunViewer(commandLine.modelFile.c_str(), !commandLine.keepView, animationSet);
}
