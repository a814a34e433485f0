// Files for the hostile-input suite and the soak: good models, large models and damaged ones,
// written as bytes (the .x text, binary and MSZIP forms, PNG and DDS images), plus the small
// helpers the suites share (a temporary folder, peak memory, timing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hostile {

using Bytes = std::vector<unsigned char>;

// Little-endian words, as the file formats hold them.
inline void Put16(Bytes& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void Put32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

Bytes FromString(const std::string& text);

// A small text .x model: a cube of 12 triangles with normals, uvs and one material naming
// `texture` (none when empty).
Bytes TextCubeModel(const std::string& texture = "");

// The same kind of model in the binary form (32-bit floats).
Bytes BinaryQuadModel();

// A binary .x model of a flat grid with at least `vertices` vertices (side x side), two
// triangles per cell and one material.
Bytes LargeGridModel(uint32_t vertices);

// `payload` (the .x body after the 16-byte header) in the MSZIP form under `header`
// ("xof 0303tzip0032" or "xof 0303bzip0032"), in blocks of `block` bytes.
Bytes Compressed(const std::string& header, const Bytes& payload, size_t block = 4096);

// One raw-deflated MSZIP block: raw size, packed size, "CK", data; `claimedRawSize` is written
// as the raw size whatever the data inflate to.
Bytes MszipBlock(const Bytes& raw, uint16_t claimedRawSize);

// A valid 8-bit RGBA PNG of the given size, its pixels a gradient.
Bytes Png(uint32_t width, uint32_t height);

// A PNG whose header claims the given size but whose data hold only a few rows.
Bytes PngClaiming(uint32_t width, uint32_t height);

// A DDS file: header for width x height, `mips` levels, format by FourCC ("DXT1", "DXT5") or
// 32-bit ARGB when fourcc is empty; `dataBytes` bytes of texel data follow.
Bytes Dds(uint32_t width, uint32_t height, uint32_t mips, const std::string& fourcc,
          size_t dataBytes);

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // Writes bytes to path()/name and returns the full path.
    std::string Write(const std::string& name, const Bytes& bytes) const;

  private:
    std::string path_;
};

// The process's peak resident set so far, in bytes (getrusage's ru_maxrss).
size_t PeakRssBytes();

// The process's current resident set, in bytes (/proc/self/statm).
size_t CurrentRssBytes();

// Seconds on the steady clock.
double Now();

} // namespace hostile
