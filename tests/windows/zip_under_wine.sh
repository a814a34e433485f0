#!/usr/bin/env bash
# xofview-windows.zip unpacked and its xofview-shot.exe run under Wine in a fresh prefix: a
# frame of the demo and a thumbnail, as PNGs of the right size. (Wine brings its own
# d3dx9_43.dll, so this cannot see that one missing: zip_contents.sh checks the imports.)
#   zip_under_wine.sh ZIP
set -uo pipefail
zip=$1
work=$(mktemp -d)
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver
export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap '"$wineserver" -k 2>/dev/null; rm -rf "$work"' EXIT

unzip -q "$zip" -d "$work" || exit 1
# Wine now and then crashes or hangs as a process ends: a run that does not exit cleanly goes
# once more, its output removed first.
cat >"$work/run.sh" <<RUN
cd '$work/xofview'
'$wine' wineboot -i >'$work/wineboot.log' 2>&1
'$wineserver' -p
shoot() { # name, then xofview-shot's arguments
    local name=\$1
    shift
    for attempt in 1 2; do
        rm -f "\$name.png"
        timeout 120 '$wine' xofview-shot.exe "\$@" >"$work/\$name.log" 2>&1
        status=\$?
        [ \$status = 0 ] && break
    done
    echo "\$name \$status" >>'$work/status'
}
shoot frame --set lastMouseX=400 --frame 2 --out frame.png
shoot thumb --thumbnail 128 op.x thumb.png
'$wineserver' -k
RUN
xvfb-run -a -n 131 -s "-screen 0 1024x768x24" bash "$work/run.sh"
cat "$work/status"
failed=0
check_png() { # file, size, status line
    local size
    size=$(identify -format '%wx%h' "$work/xofview/$1" 2>/dev/null)
    if grep -qx "$3" "$work/status" && [ "$size" = "$2" ]; then
        echo "ok: xofview-shot.exe wrote $1 ($2)"
    else
        echo "FAILED: $1 is '$size', expected $2; log: $(tr -d '\r' <"$work/${1%.png}.log" | tail -3)"
        failed=1
    fi
}
check_png frame.png 900x690 "frame 0"
check_png thumb.png 128x128 "thumb 0"
exit $failed
