#!/usr/bin/env bash
# The platform's own threads under ThreadSanitizer: builds the test programs that start them in
# a tree of their own and runs them; any report fails the run.
#   tests/threads/thread_sanitized.sh <source dir> <build dir>
# Mesa and LLVM are not instrumented: what their own threads do among themselves is theirs, so
# reports from inside those libraries are suppressed (tests/threads/tsan.supp); every access of
# ours, and every hand-over between our threads and theirs, is still checked. Their calls into
# the C library are not intercepted (ignore_noninstrumented_modules).
set -euo pipefail
src="$1"
out="$2"
programs=(d3d9_device_test d3d9_render_test d3dx9_font_test xfile_reader_test loader_hostile_test)

cmake -S "$src" -B "$out" -G Ninja -DBUILD_TESTING=ON -DXOFVIEW_SANITIZE_THREADS=ON >/dev/null
cmake --build "$out" --target "${programs[@]}"
paths=(tests/d3d9_device_test tests/d3d9_render_test tests/d3dx9_font_test tests/xfile_reader_test
       tests/hostile/loader_hostile_test)

export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
# The fonts the font test pins (its start-up task reads this configuration).
export FONTCONFIG_FILE="$out/tests/fonts/fonts.conf"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$src/tests/threads/tsan.supp"
start=$SECONDS
for path in "${paths[@]}"; do
  "$out/$path"
done
echo "thread-sanitized: ${programs[*]} passed in $((SECONDS - start)) s"
