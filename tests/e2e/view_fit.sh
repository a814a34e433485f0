#!/usr/bin/env bash
# The view fitted to the model: models of every scale and placement shot with --fit are seen
# whole, the thumbnail frames the demo as the viewer does, and in the real window (under Xvfb)
# `xofview FILE` shows a huge and a far-off model whole, Home fits a dropped one, and
# --keep-view keeps the starting view.
#   view_fit.sh XOFVIEW XOFVIEW_SHOT XDND_DROP DEMO_DIR
set -uo pipefail
viewer=$1
shot=$2
xdnd_drop=$3
demo=$4
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
# shellcheck source=../lib/box_model.sh
source "$here/../lib/box_model.sh"

# The red box's pixels in a picture: "SHARE LEFT TOP RIGHT BOTTOM" (share in 1/1000 of the
# picture, the box's pixel bounds), or "0" when there are none.
red_box() {
    convert "$1" -fuzz 25% -fill black +opaque red -fill white -opaque red -format \
        '%[fx:int(1000*mean)] %@' info: 2>/dev/null | sed 's/[x+]/ /g' |
        awk '{ if ($1 == 0 && $2 == 0) print 0; else print $1, $4, $5, $4 + $2 - 1, $5 + $3 - 1 }'
}
# Holds when the box fills at least MIN/1000 of the picture and keeps off its edges.
whole_box() { # "SHARE LEFT TOP RIGHT BOTTOM" width height min
    local share left top right bottom
    read -r share left top right bottom <<<"$1"
    [ "$share" -ge "$4" ] && [ "$left" -gt 0 ] && [ "$top" -gt 0 ] &&
        [ "$right" -lt $(($2 - 1)) ] && [ "$bottom" -lt $(($3 - 1)) ]
}

# 1. Scales from 0.01 to 1000, offsets up to 500 units: one run, each model fitted as it comes
# in. The filter is made clear so that only the box and the HUD's text are on the clear colour.
shots=()
for scale in 0.01 0.1 1 10 100 1000; do
    for offset in "0 0 0" "500 -200 300" "-350 500 -500"; do
        name="box-$scale-${offset// /_}"
        # shellcheck disable=SC2086
        box_model "$work/$name.x" "$scale" $offset
        shots+=(--model "$work/$name.x" --out "$work/$name.png")
    done
done
(cd "$demo" && "$shot" --fit --set filterAlpha=0 --frame 2 "${shots[@]}" 2>"$work/shots.err")
check "the fitted shots are written" test $? = 0
for png in "$work"/box-*.png; do
    box=$(red_box "$png")
    check "$(basename "$png" .png): the box is seen whole ($box)" whole_box "$box" 900 690 40
done

# 2. The thumbnail frames the demo as the viewer fits it: a 690 thumbnail (the back buffer's
# height), stretched to the frame's 900 x 690 as the viewer's square projection is, covers the
# pixels the model covers in the fitted frame, outside the HUD's texts.
model_mask() { # picture, out: the model's pixels white, at 900 x 690, the HUD's places black
    convert "$1" -fuzz 4% -fill black -opaque 'rgb(60,163,185)' -fill white +opaque black \
        -filter point -resize '900x690!' -fill black -draw 'rectangle 0,0 899,44' \
        -draw 'rectangle 40,510 420,625' "$2"
}
(cd "$demo" && "$shot" --thumbnail 690 op.x "$work/thumb.png" &&
    "$shot" --fit --set filterAlpha=0 --frame 2 --out "$work/fitted-demo.png")
model_mask "$work/thumb.png" "$work/thumb-mask.png"
model_mask "$work/fitted-demo.png" "$work/fitted-mask.png"
area=$(convert "$work/thumb-mask.png" -format '%[fx:int(w*h*mean)]' info:)
apart=$(compare -metric AE "$work/thumb-mask.png" "$work/fitted-mask.png" null: 2>&1 | cut -d' ' -f1)
check "the thumbnail and the fitted frame place the demo alike ($apart of $area pixels apart)" \
    test "$area" -gt 50000 -a "$((apart * 100))" -lt "$((area * 3))"

# 3. The real window.
box_model "$work/huge.x" 400 0 100 0
box_model "$work/far.x" 2 -300 -40 -900
start_viewer() { # a start whose window never shows is tried once more
    launch_viewer "$@"
    if [ -z "$window" ]; then
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        launch_viewer "$@"
    fi
    sleep 1.5
}
screen() { import -window "$window" "$work/$1.png" 2>/dev/null; }
size() { identify -format '%w %h' "$work/$1.png"; }

# The pointer is put where the window's first mouse message leaves the look height as fitted
# (y 390) and the heading still (the middle fifth): the view then holds still.
settle_pointer() { xdotool mousemove --window "$window" 397 390 && sleep 1; }
for model in huge far; do
    start_viewer "$work/$model.x"
    check "xofview $model.x: the window opens" test -n "$window"
    [ -n "$window" ] || continue
    settle_pointer
    screen "$model"
    sleep 1
    screen "$model-later"
    box=$(red_box "$work/$model.png")
    check "xofview $model.x: the box is seen whole ($box)" whole_box "$box" $(size "$model") 40
    check "xofview $model.x: the view holds still" \
        test "$(compare -metric AE "$work/$model.png" "$work/$model-later.png" null: 2>&1 |
            cut -d' ' -f1)" = 0
    stop_viewer
    check "xofview $model.x: Esc exits 0" test "$status" = 0
done

start_viewer --keep-view "$work/far.x"
[ -n "$window" ] && settle_pointer && screen kept
check "--keep-view far.x: the starting view, where the far box is not seen" \
    test "$(red_box "$work/kept.png")" = 0
stop_viewer

# A dropped model keeps its place (off to the side, unseen) until Home fits the view to it.
start_viewer "$work/huge.x"
if [ -n "$window" ]; then
    settle_pointer
    "$xdnd_drop" "$window" "$work/far.x"
    check "far.x is dropped" test $? = 0
    sleep 1
    screen dropped
    check "the dropped box keeps its place, out of view" test "$(red_box "$work/dropped.png")" = 0
    timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
    # Held for a few frames, as a person presses it (a press and release that arrive together
    # are both taken before the next frame polls the key).
    xdotool keydown Home
    sleep 0.3
    xdotool keyup Home
    sleep 1
    screen home
    box=$(red_box "$work/home.png")
    check "Home shows the dropped box whole ($box)" whole_box "$box" $(size home) 40
fi
stop_viewer
check "after the drop and Home, Esc exits 0" test "$status" = 0
check "nothing failed to load" test ! -s "$work/stderr"

finish_checks
