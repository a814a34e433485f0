// Diagnostics of the Direct3D device: each distinct message once, on stderr.
#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <set>
#include <string>

namespace d3d9 {

void Fixme(const char* subject, const char* format, ...) {
    char message[256];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    static std::set<std::string> printed;
    std::string line = std::string("d3d9: [") + subject + "] " + message;
    if (printed.insert(line).second) fprintf(stderr, "%s\n", line.c_str());
}

} // namespace d3d9
