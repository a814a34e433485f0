#!/usr/bin/env bash
# The hostile-input suites and a shorter soak under AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer: builds them in a sanitized tree of their own and runs them.
#   tests/hostile/sanitized.sh <source dir> <build dir> [soak frames] [soak drops]
# Any sanitizer report fails the run (UBSan halts on its first error). Leaks are checked when
# each program returns from main; only Mesa's own libraries are suppressed (tests/soak/lsan.supp).
set -euo pipefail
src="$1"
out="$2"
frames="${3:-10000}"
drops="${4:-250}"

cmake -S "$src" -B "$out" -G Ninja -DXOFVIEW_SANITIZE=ON >/dev/null
cmake --build "$out" --target loader_hostile_test viewer_hostile_test soak

export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
# A small quarantine: the suites bound peak memory, which ASan's default 256 MB would swamp.
export ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=16:strict_string_checks=1
export LSAN_OPTIONS="suppressions=$src/tests/soak/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

start=$SECONDS
"$out/tests/hostile/loader_hostile_test"
"$out/tests/hostile/viewer_hostile_test"
"$out/tests/soak/soak" --frames "$frames" --drops "$drops"
echo "sanitized: hostile suites and soak passed in $((SECONDS - start)) s"
