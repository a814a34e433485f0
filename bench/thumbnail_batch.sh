#!/usr/bin/env bash
# Thumbnails of the corpus models, ROUNDS times over: one xofview-shot run for the lot against
# one run per model. Prints the wall-clock time per model of each.
#   thumbnail_batch.sh XOFVIEW_SHOT MODEL_DIR [ROUNDS] [SIZE]
set -euo pipefail
shot=$1
models=("$2"/*.x)
rounds=${3:-5}
size=${4:-256}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }

pairs=()
for round in $(seq 1 "$rounds"); do
  for model in "${models[@]}"; do
    pairs+=("$model" "$work/batch-$round-$(basename "$model" .x).png")
  done
done
count=$((${#pairs[@]} / 2))

start=$(now)
"$shot" --thumbnail "$size" "${pairs[@]}" 2>/dev/null
batch=$(awk "BEGIN { print $(now) - $start }")

start=$(now)
for ((i = 0; i < ${#pairs[@]}; i += 2)); do
  "$shot" --thumbnail "$size" "${pairs[i]}" "$work/single.png" 2>/dev/null
done
single=$(awk "BEGIN { print $(now) - $start }")

printf '%d thumbnails of %dx%d\n' "$count" "$size" "$size"
per_model() { awk "BEGIN { printf \"%6.0f ms per model (%.2f s in all)\", 1000 * $1 / $count, $1 }"; }
echo "one run for all:   $(per_model "$batch")"
echo "one run per model: $(per_model "$single")"
