// The benchmarks' large model: an n x n grid of quads over a gentle wave, with a normal and a
// texture coordinate per vertex and two materials in a checkerboard of 16 x 16 quad blocks,
// written as .x text, binary and MSZIP-compressed text ("tzip") and binary ("bzip").
#pragma once

#include <string>

namespace bench {

enum class XForm { Text, Binary, TextZip, BinaryZip };

const char* XFormName(XForm form); // "text", "binary", "tzip", "bzip"

// The whole file, header included.
std::string GridModelFile(int n, XForm form);

// Writes the four forms into `folder` (created if needed) as grid<n>_<form>.x unless a file of
// that name is already there; returns the path of the one asked for.
std::string EnsureGridModel(const std::string& folder, int n, XForm form);

} // namespace bench
