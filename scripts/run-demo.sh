#!/usr/bin/env bash
# Starts the viewer on the bundled demo, in demo/ so that "op.x" and the filter image are found.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
viewer="$root/$build/xofview"
[ -x "$viewer" ] || viewer="$root/$build/src/xofview"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: xofview needs a window. Without a desktop, run it in a virtual one:"
  echo "  cd $root/demo && xvfb-run -s '-screen 0 1024x768x24' $viewer"
  echo "or write a frame to a PNG without any display:"
  echo "  cd $root/demo && $root/$build/tools/xofview-shot --set lastMouseX=400 --frame 2 --out shot.png"
  exit 1
fi
cd "$root/demo"
exec "$viewer"
