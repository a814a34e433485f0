#!/usr/bin/env bash
# The real xofview under Xvfb, driven with xdotool as a person would.
#   viewer_e2e.sh XOFVIEW CLOSE_WINDOW DEMO_DIR
set -uo pipefail
viewer=$1
close_window=$2
demo=$3
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
# shellcheck source=../lib/checks.sh
source "$(dirname "$0")/../lib/checks.sh"

# Starts the viewer in folder $1 and waits for its window; sets $pid and $window.
start_viewer() {
    (cd "$1" && exec "$viewer" >"$work/stdout" 2>"$work/stderr") &
    pid=$!
    window=""
    for _ in $(seq 1 300); do # up to 30 s: a loaded machine starts slowly
        window=$(xdotool search --pid "$pid" --onlyvisible 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$window" ] && sleep 1 # a few frames
}

# Waits up to 5 s for the viewer to exit; sets $status.
wait_exit() {
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        status=timeout
    else
        wait "$pid"
        status=$?
    fi
}

# A key pressed as a person presses it: held for a few frames, not tapped within one.
press() {
    xdotool keydown "$1"
    sleep 0.2
    xdotool keyup "$1"
}

shot() { import -window "$window" "$work/$1.png" 2>/dev/null; }

# The colour at x,y of a screenshot as "r g b".
pixel() {
    convert "$work/$1.png" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}

near() { # "r g b" "r g b" tolerance
    local a=($1) b=($2)
    for i in 0 1 2; do
        local d=$((a[i] - b[i]))
        [ ${d#-} -le "$3" ] || return 1
    done
}

# Mean of one channel (r, g or b) over a region WxH+X+Y, 0..255.
mean() {
    convert "$work/$1.png" -crop "$2" +repage -format "%[fx:int(255*mean.$3)]" info:
}

# The top row of the lighthouse's red paint in a screenshot.
red_top() {
    convert "$work/$1.png" -fx '(r>0.55 && g<0.3 && b<0.3) ? 1 : 0' -trim -format '%Y' info: 2>/dev/null |
        sed 's/^+//'
}

differs() { # two screenshots differ inside a region
    local a b
    a=$(convert "$work/$1.png" -crop "$3" +repage rgb:- | md5sum)
    b=$(convert "$work/$2.png" -crop "$3" +repage rgb:- | md5sum)
    [ "$a" != "$b" ]
}

# The client area is the back buffer (900 x 690) stretched to 794 x 561.
clear_colour="57 162 182"

# The window's title as window managers and X clients read it: _NET_WM_NAME and WM_NAME, and
# found by name with the finder in the C locale.
check_title() { # the locale the viewer runs in
    check "its title is ビューア ($1)" \
        test "$(LC_ALL=C.UTF-8 xprop -id "$window" _NET_WM_NAME 2>/dev/null)" = '_NET_WM_NAME(UTF8_STRING) = "ビューア"'
    check "its WM_NAME is ビューア too ($1)" \
        test "$(LC_ALL=C.UTF-8 xprop -id "$window" WM_NAME 2>/dev/null)" = 'WM_NAME(UTF8_STRING) = "ビューア"'
    check "xdotool finds it by that name without LANG ($1)" \
        test "$(env -u LANG -u LC_ALL -u LC_CTYPE xdotool search --name ビューア | grep -cx "$window")" = 1
}

# 1. The demo: title, picture, keys, mouse, Esc.
LC_ALL=C start_viewer "$demo"
check "the window appears" test -n "$window"
check_title "C locale"
check "the client area is 794 x 561" \
    test "$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')" = "794x561"
xdotool mousemove --window "$window" 397 300
sleep 0.5
shot start
check "the background shows the clear colour" near "$(pixel start 785 550)" "$clear_colour" 8
check "the filter rectangle lightens what it covers" \
    test "$(mean start 20x20+225+118 r)" -gt $((57 + 6))
check "the model is drawn" test "$(convert "$work/start.png" -crop 300x200+250+250 +repage \
    -fuzz 6% -fill black -opaque 'rgb(57,162,182)' -format '%[fx:int(1000*mean)]' info:)" -lt 600
hud_text=$(convert "$work/start.png" -crop 500x12+18+5 +repage -fuzz 10% -fill black \
    -opaque 'rgb(57,162,182)' -format '%[fx:int(1000*maxima)]' info:)
check "the key line shows light text" test "$hud_text" -gt 600

timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
xdotool keydown 2
sleep 1.5
xdotool keyup 2
sleep 0.3
shot red
check "holding 2 changes the value line" differs start red 420x14+18+19

# With the filter made more opaque (U), lowering its red (1) shows in the rectangle.
xdotool keydown U
sleep 3
xdotool keyup U
sleep 0.3
shot opaque
xdotool keydown 1
sleep 3
xdotool keyup 1
sleep 0.3
shot less_red
# Keys step once per frame, so a loaded machine steps less in the same time: the margins allow
# for a third of the usual frame rate.
check "holding U makes the filter rectangle more opaque" \
    test "$(mean opaque 20x20+225+118 r)" -gt $(($(mean red 20x20+225+118 r) + 10))
check "holding 1 takes red out of the filter tint" \
    test "$(mean less_red 20x20+225+118 r)" -lt $(($(mean opaque 20x20+225+118 r) - 8))

xdotool mousemove --window "$window" 397 100
sleep 0.5
shot up
check "moving the mouse up raises the view, so the model sinks on screen" \
    test "$(red_top up)" -gt $(($(red_top less_red) + 10))

press Escape
wait_exit
check "Esc exits with status 0" test "$status" = 0

# 2. Closing the window.
LC_ALL=C.UTF-8 start_viewer "$demo"
check_title "UTF-8 locale"
"$close_window" "$window"
wait_exit
check "closing the window exits with status 0" test "$status" = 0

# 3. No model and no filter image: the viewer still runs, and says what it could not load.
mkdir -p "$work/empty"
start_viewer "$work/empty"
check "without op.x the window still opens" test -n "$window"
shot empty
check "without op.x the clear colour shows" near "$(pixel empty 700 300)" "$clear_colour" 8
press Escape
wait_exit
check "without op.x Esc still exits 0" test "$status" = 0
check "the missing model is named on stderr" grep -q 'op.x' "$work/stderr"

# 4. No display at all.
(cd "$demo" && DISPLAY= SDL_VIDEODRIVER=x11 "$viewer" >"$work/stdout" 2>"$work/stderr")
status=$?
check "without a display it exits 1" test "$status" = 1
check "without a display it says so" grep -q 'Direct3D' "$work/stderr"

finish_checks
