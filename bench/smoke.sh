#!/usr/bin/env bash
# bench_smoke: each benchmark once on tiny inputs, to show that it builds and runs.
set -euo pipefail
load_bench=$1 frame_bench=$2 data=$3 draw_calls=$4 skin_bench=$5
"$load_bench" --grid 8 --samples 1 --least 0 --data "$data" --results "$data/bench-results.tsv"
"$frame_bench" --grid 8 --runs 1 --frames 5 --grid-frames 5 --tube 60x12 --startups 1 --idle 0.5 \
    --data "$data" --results "$data/bench-results.tsv"
"$draw_calls" --runs 1 --frames 2 --results "$data/bench-results.tsv"
"$skin_bench" --vertices 1000 --samples 1 --least 0 --tube 60x12 --data "$data" \
    --results "$data/bench-results.tsv"
