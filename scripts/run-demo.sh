#!/usr/bin/env bash
# Starts the viewer on the bundled demo, in demo/ so that "op.x" and the filter image are found.
# Without a display it draws the demo into a PNG instead and says how to see the real window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
viewer="$build/xofview"
[ -x "$viewer" ] || viewer="$build/src/xofview"
shot="$build/tools/xofview-shot"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  picture="$build/demo.png"
  (cd "$root/demo" && "$shot" --set lastMouseX=400 --frame 2 --out "$picture")
  echo "No display, so no window: the demo's first frames are drawn into"
  echo "  $picture"
  echo "To see and drive the real viewer without a desktop, run it in a virtual display:"
  echo "  cd $root/demo && xvfb-run -s '-screen 0 1024x768x24' $viewer"
  exit 0
fi
cd "$root/demo"
exec "$viewer"
