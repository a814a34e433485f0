#!/usr/bin/env bash
# `make run` on a machine without a display: the demo drawn into a PNG, directions, status 0.
#   run_demo.sh RUN_DEMO_SCRIPT BUILD_DIR
set -uo pipefail
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$1" "$2" 2>&1)
status=$?
echo "$out"
picture="$2/demo.png"
[ "$status" = 0 ] || { echo "FAILED: exit status $status"; exit 1; }
grep -qF "$picture" <<<"$out" || { echo "FAILED: the picture's place is not said"; exit 1; }
grep -q "xvfb-run" <<<"$out" || { echo "FAILED: xvfb-run is not explained"; exit 1; }
size=$(identify -format '%wx%h' "$picture" 2>/dev/null)
[ "$size" = 900x690 ] || { echo "FAILED: $picture is '$size', not a 900x690 PNG"; exit 1; }
echo "ok"
