#!/usr/bin/env bash
# The .x reader's unit tests and the loader's hostile suite under ThreadSanitizer, in a tree of
# their own: the inputs of megabytes are read by two threads (long runs of numbers in pieces,
# compressed text parsed while a thread inflates it).
#   tests/hostile/threads_sanitized.sh <source dir> <build dir>
# Any report of a data race fails the run.
set -euo pipefail
src="$1"
out="$2"

cmake -S "$src" -B "$out" -G Ninja -DBUILD_TESTING=ON -DXOFVIEW_SANITIZE_THREADS=ON >/dev/null
cmake --build "$out" --target xfile_reader_test loader_hostile_test

export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

start=$SECONDS
"$out/tests/xfile_reader_test"
"$out/tests/hostile/loader_hostile_test"
echo "threads sanitized: reader and loader suites passed in $((SECONDS - start)) s"
