#!/usr/bin/env bash
# xofview-windows.zip unpacked and its xofview-shot.exe run under Wine in a fresh prefix, with
# every D3DX DLL of Wine's switched off (a program that imported one would not start): a frame
# of the demo, a thumbnail, a frame and a thumbnail of every model of the shared corpus, as PNGs
# of the right size; the demo again under a non-Japanese system locale, and there DrawTextA's
# decoding (text_decode_check.cpp): by the font's character set, not the system's code page.
#   zip_under_wine.sh ZIP [XCORPUS]
set -uo pipefail
zip=$1
here=$(cd "$(dirname "$0")" && pwd)
xcorpus=${2:-$here/../../../shared/xcorpus}
work=$(mktemp -d)
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=/usr/lib/wine/wineserver
no_d3dx=$(printf 'd3dx9_%s,' $(seq 24 43))
export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;${no_d3dx%,}=d"
trap '"$wineserver" -k 2>/dev/null; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
# shellcheck source=../lib/checks.sh
source "$here/../lib/checks.sh"

unzip -q "$zip" -d "$work" || exit 1
mingw=$(command -v x86_64-w64-mingw32-g++-posix || command -v x86_64-w64-mingw32-g++)
"$mingw" -std=c++20 -O1 -static -I"$here/../../src/platform" "$here/text_decode_check.cpp" \
    "$here/../../src/platform/d3dx9/text_decode_kernel32.cpp" -o "$work/text_decode_check.exe" -lgdi32 ||
    exit 1
models=()
if [ -d "$xcorpus" ]; then
    cp "$xcorpus"/*.x "$xcorpus"/*.png "$work/xofview/" 2>/dev/null
    for f in "$xcorpus"/*.x; do models+=("$(basename "$f" .x)"); done
else
    echo "note: no model corpus at $xcorpus; the demo alone is drawn"
fi
frames=() thumbs=()
for m in "${models[@]}"; do
    frames+=(--model "$m.x" --out "frame-$m.png")
    thumbs+=("$m.x" "thumb-$m.png")
done

# Wine now and then crashes or hangs as a process ends: a run that does not exit cleanly goes
# once more, its output removed first.
cat >"$work/run.sh" <<RUN
cd '$work/xofview'
'$wine' wineboot -i >'$work/wineboot.log' 2>&1
'$wineserver' -p
shoot() { # name, locale, then xofview-shot's arguments
    local name=\$1 locale=\$2
    shift 2
    for attempt in 1 2; do
        rm -f "\$name"*.png
        LANG=\$locale LC_ALL=\$locale timeout 120 '$wine' xofview-shot.exe "\$@" \
            >"$work/\$name.log" 2>&1
        status=\$?
        [ \$status = 0 ] && break
    done
    echo "\$name \$status" >>'$work/status'
}
shoot frame ja_JP.UTF-8 --set lastMouseX=400 --frame 2 --out frame.png
shoot latin C.UTF-8 --set lastMouseX=400 --frame 2 --out latin.png
shoot thumb ja_JP.UTF-8 --thumbnail 128 op.x thumb.png
LANG=C.UTF-8 LC_ALL=C.UTF-8 '$wine' '$work/text_decode_check.exe' >'$work/decode.log' 2>&1
# The viewer itself: its window comes up with the demo, and Esc ends it with status 0 (one that
# is still running a minute later is ended, and fails).
'$wine' xofview.exe >'$work/viewer.log' 2>&1 &
viewer=\$!
# A search ends at the first X error, as when one of Wine's short-lived windows goes while it
# looks: it is asked again each second rather than once with --sync.
window=
for second in \$(seq 60); do
    window=\$(xdotool search --onlyvisible --name 'ビューア' 2>/dev/null | head -1)
    [ -n "\$window" ] && break
    sleep 1
done
# Esc is read through DirectInput, from the focused window, once a frame: it is held down until
# the viewer has ended.
[ -z "\$window" ] || timeout 10 xdotool windowfocus --sync "\$window" 2>/dev/null
xdotool keydown Escape
for second in \$(seq 60); do kill -0 \$viewer 2>/dev/null && sleep 1; done
xdotool keyup Escape
kill \$viewer 2>/dev/null
wait \$viewer
echo "viewer \$? \${window:-none}" >>'$work/status'
$([ ${#models[@]} = 0 ] || echo "shoot frame- ja_JP.UTF-8 ${frames[*]}")
$([ ${#models[@]} = 0 ] || echo "shoot thumb- ja_JP.UTF-8 --thumbnail 128 ${thumbs[*]}")
'$wineserver' -k
RUN
xvfb-run -a -n 131 -s "-screen 0 1024x768x24" bash "$work/run.sh"
cat "$work/status"

png_is() { # file size log: the PNG's size, or the end of the run's log
    [ "$(identify -format '%wx%h' "$work/xofview/$1" 2>/dev/null)" = "$2" ] && return 0
    tr -d '\r' <"$work/$3.log" 2>/dev/null | tail -3
    return 1
}
check "the demo's frame (900x690)" png_is frame.png 900x690 frame
check "its thumbnail (128x128)" png_is thumb.png 128x128 thumb
for m in "${models[@]}"; do
    check "$m.x: a frame" png_is "frame-$m.png" 900x690 frame-
    check "$m.x: a thumbnail" png_is "thumb-$m.png" 128x128 thumb-
done

check "the demo's frame under a non-Japanese locale" png_is latin.png 900x690 latin
check "xofview.exe opens its window and Esc ends it with status 0" grep -qE '^viewer 0 [0-9]+$' "$work/status"
tr -d '\r' <"$work/decode.log"
check "DrawTextA decodes by the font's character set" grep -q '^   0 failed' <(tr -d '\r' <"$work/decode.log")
# Where the key line ends: the last column of its text (a Japanese Windows' Gothic at 14 px
# ends it near x = 734, 102 bytes of 7 px from x = 20).
key_end=$(convert "$work/xofview/frame.png" -crop 900x14+0+6 +repage -fuzz 20% -fill black \
    -opaque "$(convert "$work/xofview/frame.png" -format '%[pixel:p{899,0}]' info:)" -trim \
    -format '%[fx:page.x+w]' info: 2>/dev/null)
echo "   the HUD's key line ends at x = $key_end"
check "the HUD's key line is drawn across the top" test "${key_end:-0}" -gt 400
finish_checks
