// The benchmarks' animated model: a tube of rings along y, skinned to a chain of bones that a
// set bends back and forth, written as .x text.
#pragma once

#include <string>

namespace bench {

// `rings` rings of `sides` vertices each (a normal per vertex), quads between them, one
// material; `bones` frames chained from the root, each vertex weighted between its two nearest
// bones; one AnimationSet, "Bend", turning every bone about z over one second.
std::string SkinnedModelFile(int rings, int sides, int bones);

// Writes it into `folder` (created if needed) as tube<rings>x<sides>_<bones>.x unless a file of
// that name is already there; returns its path.
std::string EnsureSkinnedModel(const std::string& folder, int rings, int sides, int bones);

} // namespace bench
