// What machine the benchmarks ran on, as header lines of bench-results.tsv, so that figures
// from two machines can be told apart.
#pragma once

#include <string>
#include <vector>

namespace bench {

// "# name: value" lines: the processor (model, family, widest vector instructions, cores), the
// GL (llvmpipe's renderer string with its vector width, the Mesa version, its rasterizer
// threads) and the load average now, under `benchmark`'s name.
std::vector<std::string> MachineLines(const std::string& benchmark);

// Puts MachineLines(benchmark) at the head of the results file at `path`: lines of the same
// name are replaced, the figures and the other benchmarks' lines kept. Also printed.
void RecordMachine(const std::string& path, const std::string& benchmark);

} // namespace bench
