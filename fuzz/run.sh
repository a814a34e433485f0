#!/usr/bin/env bash
# Builds the .x fuzz target with clang's libFuzzer (ASan + UBSan) and runs it.
#   fuzz/run.sh [seconds]      default 600; extra libFuzzer flags via FUZZ_FLAGS
# New inputs go to build-fuzz/corpus; fuzz/corpus/xfile and the shared .x corpus are seeds only.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-fuzz"
seconds="${1:-600}"
mkdir -p "$out/corpus" "$out/crashes"

clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root/src/platform/include" -I"$root/src/platform" \
  "$root/fuzz/xfile_fuzz.cpp" "$root"/src/platform/xfile/*.cpp \
  "$root/src/platform/d3dx9/mesh_build.cpp" "$root/src/platform/d3dx9/math.cpp" \
  -lz -o "$out/xfile_fuzz"

seeds=("$root/fuzz/corpus/xfile")
[ -d "$root/../shared/xcorpus" ] && seeds+=("$root/../shared/xcorpus")
cd "$out"
# -rss_limit_mb: a hostile file must not make the reader allocate without bound.
./xfile_fuzz -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
  -dict="$root/fuzz/xfile.dict" -artifact_prefix="$out/crashes/" -print_final_stats=1 ${FUZZ_FLAGS:-} \
  "$out/corpus" "${seeds[@]}"
