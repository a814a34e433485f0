#!/usr/bin/env bash
# `xofview [FILE]`: help, version, refused names, and a model named on the command line shown in
# the real window (under Xvfb; the refusals need no display).
#   command_line.sh XOFVIEW DEMO_DIR XCORPUS_DIR
set -uo pipefail
viewer=$1
demo=$2
xcorpus=$3
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$work"' EXIT
# shellcheck source=../lib/checks.sh
source "$(dirname "$0")/../lib/checks.sh"
# shellcheck source=../lib/stop_viewer.sh
source "$(dirname "$0")/../lib/stop_viewer.sh"
# shellcheck source=../lib/launch_viewer.sh
source "$(dirname "$0")/../lib/launch_viewer.sh"

run() { # runs the viewer in the demo folder with no display; sets $status
    (cd "$demo" && DISPLAY= SDL_VIDEODRIVER=x11 timeout 20 "$viewer" "$@" >"$work/stdout" \
        2>"$work/stderr")
    status=$?
}

# 1. What ends before any window.
run --help
check "--help exits 0" test "$status" = 0
check "--help shows the usage" grep -q "^usage: xofview \[--keep-view\] \[--animation \[SET\]\] \[FILE\]" "$work/stdout"
run --version
check "--version prints the version" grep -Eq '^xofview [0-9]+\.[0-9]+\.[0-9]+$' "$work/stdout"
run --frobnicate
check "an unknown option exits 2 and is named" \
    bash -c "[ $status = 2 ] && grep -q 'unknown option: --frobnicate' '$work/stderr'"
run a.x b.x
check "two models are refused" bash -c "[ $status = 2 ] && grep -q 'one model at a time' '$work/stderr'"
run "$work/café 😀.x"
check "a name code page 932 cannot spell is refused" \
    bash -c "[ $status = 2 ] && grep -q 'file ignored: .*cannot be written in code page 932' '$work/stderr'"
run "$work/$(printf 'd%.0s' $(seq 1 300)).x"
check "a name too long is refused" \
    bash -c "[ $status = 2 ] && grep -q 'file ignored: its path is longer than 255 bytes' '$work/stderr'"
# A Japanese name counts in code page 932's bytes: 120 kana are 240 bytes there, 360 in UTF-8.
# It passes, so the viewer goes on to start graphics, which fail for want of a display.
run "$(printf 'モ%.0s' $(seq 1 120)).x"
check "a Japanese name is measured in code page 932" \
    bash -c "[ $status = 1 ] && ! grep -q 'file ignored' '$work/stderr'"

# 2. The model named on the command line is the one shown.
mkdir -p "$work/モデル 置き場"
cp "$xcorpus/test_cube_text.x" "$work/モデル 置き場/立方体 1.x"
start_viewer() { # sets $pid and $window; a start whose window never shows is reported, tried again
    launch_viewer "$@"
    if [ -z "$window" ]; then
        echo "note: no window from the viewer (pid $pid, $(kill -0 "$pid" 2>/dev/null &&
            echo running || echo gone)); its stderr: $(cat "$work/stderr"); starting it again"
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        launch_viewer "$@"
    fi
    [ -n "$window" ] && xdotool mousemove --window "$window" 397 300 && sleep 1.5
}
start_viewer
[ -n "$window" ] && import -window "$window" "$work/default.png" 2>/dev/null
stop_viewer
start_viewer "$work/モデル 置き場/立方体 1.x"
check "with a model argument the window opens" test -n "$window"
[ -n "$window" ] && import -window "$window" "$work/argument.png" 2>/dev/null
stop_viewer
check "the named model loads without a complaint" test ! -s "$work/stderr"
check "the named model, not op.x, is drawn" test "$(compare -metric AE -fuzz 5% \
    "$work/default.png" "$work/argument.png" null: 2>&1 | cut -d' ' -f1)" -gt 2000
start_viewer missing.x
check "a missing model is named and the window still opens" \
    bash -c "[ -n '$window' ] && grep -q 'cannot load model \"missing.x\"' '$work/stderr'"
stop_viewer
check "and Esc still exits 0" test "$status" = 0
start_viewer "日本語 の モデル.x"
check "a model's name is printed as the terminal writes it (UTF-8)" \
    grep -qF 'cannot load model "日本語 の モデル.x": no such file' "$work/stderr"
stop_viewer

finish_checks
