#!/usr/bin/env bash
# The model's animation: xofview-shot poses a skinned arm and rigid parts, equal to the static
# frames where the animation holds the bind pose; and in the real window (under Xvfb) Space
# plays and pauses, Tab changes the set, and a model without animation ignores both.
#   animation.sh XOFVIEW XOFVIEW_SHOT DEMO_DIR MODELS_DIR
set -uo pipefail
viewer=$1
shot=$2
demo=$3
models=$4
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$work"' EXIT
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../lib/checks.sh
source "$here/../lib/checks.sh"
# shellcheck source=../lib/stop_viewer.sh
source "$here/../lib/stop_viewer.sh"
# shellcheck source=../lib/launch_viewer.sh
source "$here/../lib/launch_viewer.sh"
cp "$models"/*.x "$work/"

# Pixels that differ between two pictures; with a third argument, outside the animation's HUD
# line (the rows under the values).
apart() { # a b [--without-line]
    if [ -n "${3:-}" ]; then
        convert "$1" -fill black -draw 'rectangle 0,38 899,60' "$work/a.png"
        convert "$2" -fill black -draw 'rectangle 0,38 899,60' "$work/b.png"
        set -- "$work/a.png" "$work/b.png"
    fi
    compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1
}

# 1. Poses by xofview-shot. Where the animation holds the bind pose (each set's start here),
# the animated frame is the static frame but for the line naming the set.
for case in "arm_bend Bend" "rigid_parts Turn"; do
    read -r model set <<<"$case"
    (cd "$demo" && "$shot" --fit --frame 2 --model "$work/$model.x" --out "$work/$model-static.png" &&
        "$shot" --fit --frame 2 --animation "$set" --model "$work/$model.x" \
            --out "$work/$model-0.png" &&
        "$shot" --fit --frame 2 --animation "$set" --time 0.5 --model "$work/$model.x" \
            --out "$work/$model-half.png")
    check "$model: the shots are written" test $? = 0
    check "$model: at its start $set is the static frame" \
        test "$(apart "$work/$model-static.png" "$work/$model-0.png" --without-line)" = 0
    check "$model: half a second in, $set has moved it" \
        test "$(apart "$work/$model-0.png" "$work/$model-half.png" --without-line)" -gt 500
done
(cd "$demo" && "$shot" --animation Bend --time 0.5 --thumbnail 128 "$work/arm_bend.x" \
    "$work/thumb-bent.png" "$work/rigid_parts.x" "$work/thumb-parts.png" 2>"$work/thumb.err")
check "a thumbnail batch with --animation: the set missing from one model fails that one" \
    test $? = 1 -a -s "$work/thumb-bent.png" -a ! -e "$work/thumb-parts.png"
check "and says so" grep -q 'has no animation set "Bend"' "$work/thumb.err"

# 2. The real window.
screen() { import -window "$window" "$work/$1.png" 2>/dev/null; }
press() { # held for a few frames, as a person presses a key
    timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool keydown "$1"
    sleep 0.2
    xdotool keyup "$1"
}
start() {
    launch_viewer "$@"
    [ -n "$window" ] && xdotool mousemove --window "$window" 397 390 && sleep 1
}

start "$work/arm_bend.x"
check "xofview arm_bend.x: the window opens" test -n "$window"
if [ -n "$window" ]; then
    screen still
    press space
    sleep 0.3
    screen playing-1
    sleep 0.4
    screen playing-2
    check "Space plays: the arm moves between two screenshots" \
        test "$(apart "$work/playing-1.png" "$work/playing-2.png" --without-line)" -gt 200
    # Only the arm's pixels change: what differs lies within the arm's bounds in either picture.
    bounds() {
        convert "$1" -fill black -draw 'rectangle 0,0 793,60' -fuzz 12% -fill black \
            -opaque 'rgb(57,162,182)' -fill white +opaque black -format '%@' info:
    }
    changed=$(convert "$work/playing-1.png" "$work/playing-2.png" -compose difference -composite \
        -fill black -draw 'rectangle 0,0 793,60' -threshold 3% -format '%@' info:)
    inside() { # WxH+X+Y within the union of two such boxes
        awk -v c="$1" -v a="$2" -v b="$3" 'function box(s, r) { gsub(/[x+]/, " ", s);
            split(s, r, " "); r[3] += 0; r[4] += 0; r[1] = r[3] + r[1]; r[2] = r[4] + r[2] }
            BEGIN { box(c, C); box(a, A); box(b, B);
                    l = A[3] < B[3] ? A[3] : B[3]; t = A[4] < B[4] ? A[4] : B[4];
                    r = A[1] > B[1] ? A[1] : B[1]; d = A[2] > B[2] ? A[2] : B[2];
                    exit !(C[3] >= l && C[4] >= t && C[1] <= r && C[2] <= d) }'
    }
    check "only the model's pixels change ($changed)" \
        inside "$changed" "$(bounds "$work/playing-1.png")" "$(bounds "$work/playing-2.png")"
    check "the set's line appears under the values" \
        test "$(apart "$work/still.png" "$work/playing-1.png")" -gt \
        "$(apart "$work/still.png" "$work/playing-1.png" --without-line)"

    press space
    sleep 0.3
    screen paused-1
    sleep 0.5
    screen paused-2
    check "Space again holds it still" test "$(apart "$work/paused-1.png" "$work/paused-2.png")" = 0

    press Tab
    sleep 0.3
    screen next-set
    check "Tab names another set" test "$(convert "$work/paused-2.png" "$work/next-set.png" \
        -crop 400x18+18+40 +repage -compose difference -composite -threshold 10% \
        -format '%[fx:int(1000*mean)]' info:)" -gt 5
fi
stop_viewer
check "Esc exits 0 after playing" test "$status" = 0

# --animation SET FILE plays the set at once; a set the model lacks is named and the model stays.
start --animation Bend "$work/arm_bend.x"
if [ -n "$window" ]; then
    screen started-1
    sleep 0.4
    screen started-2
    check "--animation Bend arm_bend.x plays from the start" \
        test "$(apart "$work/started-1.png" "$work/started-2.png" --without-line)" -gt 200
fi
stop_viewer
start --animation=Nope "$work/arm_bend.x"
check "--animation=Nope names the set the model lacks" \
    grep -q 'has no animation set "Nope"' "$work/stderr"
stop_viewer

start
if [ -n "$window" ]; then
    screen demo-before
    press space
    press Tab
    sleep 0.5
    screen demo-after
    check "the demo, without animation, ignores Space and Tab" \
        test "$(apart "$work/demo-before.png" "$work/demo-after.png")" = 0
    check "and says once that it has no animation" \
        test "$(grep -c 'no animation to play in model "op.x"' "$work/stderr")" = 1
fi
stop_viewer

finish_checks
