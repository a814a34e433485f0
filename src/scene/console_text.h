// Names in the viewer's messages: its names are code page 932, the terminal may read another.
#pragma once

#include <string>

// The code page 932 text as the terminal's code page writes it (unchanged if it cannot be
// converted).
std::string ConsoleText(const char* cp932);
