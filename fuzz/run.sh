#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan, fuzz/CMakeLists.txt), replays each
# target's seed corpus, then fuzzes each for the given time.
#   fuzz/run.sh [seconds] [target...]     default 600 s each; targets: xfile dds image path
#                                         hierarchy controller
#   FUZZ_BUILD   build folder (default build-fuzz); new inputs go to $FUZZ_BUILD/corpus/<target>
#   FUZZ_FLAGS   extra libFuzzer flags
# fuzz/corpus/<target> (and, for xfile, the shared .x corpus when present) are seeds only: the
# source tree is never written. A crash, leak, timeout or memory blow-up fails the script and
# leaves the input in $FUZZ_BUILD/crashes.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${FUZZ_BUILD:-$root/build-fuzz}"
seconds="${1:-600}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(xfile dds image path hierarchy controller)

cmake -S "$root/fuzz" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= >/dev/null
cmake --build "$out" --target "${targets[@]/%/_fuzz}"

declare -A max_len=([xfile]=65536 [dds]=16384 [image]=16384 [path]=512 [hierarchy]=65536
                    [controller]=4096)
mkdir -p "$out/crashes"
total=0
for t in "${targets[@]}"; do
  # The hierarchy loader reads what the .x reader reads: the same seeds and dictionary.
  seed_target=$t
  [ "$t" = hierarchy ] && seed_target=xfile
  seeds=("$root/fuzz/corpus/$seed_target")
  [ "$seed_target" = xfile ] && [ -d "$root/../shared/xcorpus" ] && seeds+=("$root/../shared/xcorpus")
  dict=()
  [ -f "$root/fuzz/$seed_target.dict" ] && dict=(-dict="$root/fuzz/$seed_target.dict")
  mkdir -p "$out/corpus/$t"
  # -rss_limit_mb: a hostile input must not make the code allocate without bound;
  # -timeout: nor run for long.
  flags=(-rss_limit_mb=2048 -timeout=10 -max_len="${max_len[$t]}" "${dict[@]}"
         -artifact_prefix="$out/crashes/$t-" -print_final_stats=1)
  cd "$out"
  echo "== $t: replaying its seeds"
  "./${t}_fuzz" "${flags[@]}" -runs=0 "${seeds[@]}" 2>"$out/$t-replay.log" ||
    { tail -n 40 "$out/$t-replay.log"; exit 1; }
  if [ "$seconds" -gt 0 ]; then
    echo "== $t: fuzzing for $seconds s"
    # shellcheck disable=SC2086
    "./${t}_fuzz" "${flags[@]}" -max_total_time="$seconds" ${FUZZ_FLAGS:-} \
      "$out/corpus/$t" "${seeds[@]}" 2>"$out/$t-fuzz.log" ||
      { tail -n 60 "$out/$t-fuzz.log"; exit 1; }
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$t-fuzz.log" | tail -n 1)
    echo "== $t: ${runs:-0} executions, no failure"
    total=$((total + ${runs:-0}))
  fi
done
[ "$seconds" -gt 0 ] && echo "== all targets: $total executions"
exit 0
