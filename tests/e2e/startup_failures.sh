#!/usr/bin/env bash
# Graphics start-up that cannot finish says what failed on stderr and exits 1, through the
# viewer's own start-up (xofview-shot runs it without a window system).
#   startup_failures.sh XOFVIEW_SHOT DEMO_DIR
set -uo pipefail
shot=$1
demo=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo '<?xml version="1.0"?><fontconfig></fontconfig>' >"$work/no-fonts.conf"
passed=0
failed=0

expect_failure() { # name, expected stderr text, then the environment assignments
    local name=$1 text=$2
    shift 2
    (cd "$demo" && env SDL_VIDEODRIVER=offscreen "$@" "$shot" --out "$work/out.png" \
        >/dev/null 2>"$work/stderr")
    local status=$?
    if [ "$status" = 1 ] && grep -q "$text" "$work/stderr" && [ "$(wc -l <"$work/stderr")" = 1 ] &&
        [ ! -e "$work/out.png" ]; then
        passed=$((passed + 1))
        echo "ok: $name"
    else
        failed=$((failed + 1))
        echo "FAILED: $name: status $status, stderr: $(cat "$work/stderr")"
    fi
}

expect_failure "no video driver" "Direct3D 9 is not available" SDL_VIDEODRIVER=none-such
expect_failure "OpenGL too old for the device" "Direct3D 9 is not available" \
    MESA_GL_VERSION_OVERRIDE=3.0
expect_failure "no font for the HUD" "HUD font" FONTCONFIG_FILE="$work/no-fonts.conf"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
