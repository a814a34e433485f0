// xofview's entry point: `xofview [FILE]`.
#include "app/command_line.h"
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
    if (commandLine.modelFile.empty()) RunViewer();
    RunViewer(commandLine.modelFile.c_str());
}
