#!/usr/bin/env bash
# Starts the viewer on the bundled demo, in demo/ so that "op.x" and the filter image are found.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
viewer="$root/$build/xofview"
if [ ! -x "$viewer" ]; then
  echo "xofview cannot open its window yet: the window, the device and the viewer's start-up are"
  echo "still being built. 'make test' runs what exists so far."
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: xofview needs a window. Without a desktop, run it under a virtual one:"
  echo "  cd demo && xvfb-run -s '-screen 0 1024x768x24' $viewer"
  exit 1
fi
cd "$root/demo"
exec "$viewer"
