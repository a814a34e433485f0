// Diagnostics of the Direct3D device: unsupported features and application errors, on stderr.
#pragma once

namespace d3d9 {

// "d3d9: [subject] message", printed once per distinct message; a feature the device does not
// implement, met at run time.
void Fixme(const char* subject, const char* format, ...) __attribute__((format(printf, 2, 3)));

} // namespace d3d9
