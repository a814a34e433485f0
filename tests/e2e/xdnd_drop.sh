#!/usr/bin/env bash
# A real drag and drop: the viewer under Xvfb, and a small XDND source of our own dropping a
# file whose Japanese name has a space in it; the model on screen changes to the dropped one.
#   xdnd_drop.sh XOFVIEW XDND_DROP DEMO_DIR XCORPUS_DIR
set -uo pipefail
viewer=$1
xdnd_drop=$2
demo=$3
xcorpus=$4
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$work"' EXIT
# shellcheck source=../lib/checks.sh
source "$(dirname "$0")/../lib/checks.sh"

# The lighthouse's red paint, as a share (0..1000) of the model's part of the screen.
red_share() {
    convert "$work/$1.png" -crop 400x400+200+100 +repage \
        -fx '(r>0.55 && g<0.3 && b<0.3) ? 1 : 0' -format '%[fx:int(1000*mean)]' info:
}
# The textured cube's blue side, likewise.
blue_share() {
    convert "$work/$1.png" -crop 400x400+200+100 +repage \
        -fx '(b>0.75 && r<0.4 && g>0.45 && g<0.75) ? 1 : 0' -format '%[fx:int(1000*mean)]' info:
}

folder="$work/ドロップ テスト"
mkdir -p "$folder"
cp "$xcorpus/test.x" "$folder/立方体 モデル.x"
cp "$xcorpus/test.png" "$folder/"

launch_viewer() { # waits up to 30 s for a window of the viewer's that takes XDND drops
    (cd "$demo" && exec "$viewer" >"$work/stdout" 2>"$work/stderr") &
    pid=$!
    window=""
    for _ in $(seq 1 300); do
        for candidate in $(xdotool search --pid "$pid" --onlyvisible 2>/dev/null); do
            # (xprop shows the version, 5, as the atom of that number.)
            xprop -id "$candidate" XdndAware 2>/dev/null | grep -q '^XdndAware(ATOM)' &&
                window=$candidate
        done
        [ -n "$window" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
}
launch_viewer
if [ -z "$window" ]; then # reported, and tried once more
    echo "note: no XDND window from the viewer (pid $pid, $(kill -0 "$pid" 2>/dev/null &&
        echo running || echo gone); windows: $(xdotool search --pid "$pid" 2>/dev/null |
        tr '\n' ' ')); its stderr: $(cat "$work/stderr"); starting it again"
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    launch_viewer
fi
check "the viewer's window says it takes XDND drops" test -n "$window"
[ -n "$window" ] || exit 1
# The mouse in the middle fifth of the window: the view holds still.
xdotool mousemove --window "$window" 397 300
sleep 1
import -window "$window" "$work/before.png" 2>/dev/null
check "the demo's lighthouse is on screen" test "$(red_share before)" -gt 5

"$xdnd_drop" "$window" "$folder/立方体 モデル.x"
check "the drop completes (XdndFinished)" test $? = 0
sleep 1
import -window "$window" "$work/after.png" 2>/dev/null
check "the lighthouse is gone" test "$(red_share after)" -lt 2
check "the dropped cube is drawn, its texture found beside it" test "$(blue_share after)" -gt 20
check "nothing was refused or failed to load" test ! -s "$work/stderr"
cat "$work/stderr"

timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
xdotool keydown Escape
sleep 0.2
xdotool keyup Escape
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill "$pid" 2>/dev/null
wait "$pid"
check "Esc still exits 0 after the drop" test $? = 0
pid=""

finish_checks
