#!/usr/bin/env bash
# `make install` staged into a DESTDIR: the installed programs run, the menu entry validates,
# the MIME package knows .x models by their header (and leaves other .x files alone), and the
# installed thumbnailer's command draws each corpus model at the asked size. Leaves a sheet of
# those thumbnails in the build folder.
#   install.sh BUILD_DIR XCORPUS_DIR DEMO_DIR
set -uo pipefail
build=$1
xcorpus=$2
demo=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage
share=$stage/usr/share
# shellcheck source=../lib/checks.sh
source "$(dirname "$0")/../lib/checks.sh"

DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1
check "cmake --install into a DESTDIR succeeds" test $? = 0
for f in bin/xofview bin/xofview-shot share/applications/xofview.desktop share/xofview/フィルター画像.jpg \
    share/mime/packages/xofview.xml share/thumbnailers/xofview.thumbnailer \
    share/man/man1/xofview.1 share/man/man1/xofview-shot.1 share/icons/hicolor/48x48/apps/xofview.png share/icons/hicolor/256x256/mimetypes/model-x.directx.png; do
    check "installs /usr/$f" test -s "$stage/usr/$f"
done
check "nothing lands outside the DESTDIR" bash -c "! grep -v '$stage' '$work/install.log' | grep -q '^-- Installing'"
for size in 16 22 24 32 48 64 128 256; do
    check "the ${size}x${size} icon is that size" \
        test "$(identify -format '%wx%h' "$share/icons/hicolor/${size}x${size}/apps/xofview.png")" = "${size}x${size}"
done

export PATH="$stage/usr/bin:$PATH"
check "the installed xofview runs" bash -c "xofview --version | grep -q '^xofview [0-9]'"
check "the installed xofview-shot runs" bash -c "xofview-shot --version | grep -q '^xofview-shot [0-9]'"
check "man finds the installed pages" \
    bash -c "MANPATH='$share/man' MANWIDTH=80 man xofview 2>/dev/null | grep -q 'xofview *- *view' &&
             MANPATH='$share/man' MANWIDTH=80 man xofview-shot 2>/dev/null | grep -q 'xofview-shot *- *draw'"

desktop-file-validate "$share/applications/xofview.desktop" >"$work/validate.log" 2>&1
check "desktop-file-validate passes the menu entry" test $? = 0
cat "$work/validate.log"

# The menu entry starts the viewer beside the installed filter image. Installed into a prefix
# of its own (its folder is written into the entry), a model from elsewhere, drawn as the menu
# starts the viewer, looks as the demo does in demo/ (the README's picture): the filter image
# is found, and the model's textures beside it.
check "the menu entry starts the viewer in /usr/share/xofview" \
    grep -qx 'Path=/usr/share/xofview' "$share/applications/xofview.desktop"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null 2>&1
entry=$prefix/share/applications/xofview.desktop
folder=$(sed -n 's/^Path=//p' "$entry")
check "installed elsewhere, the menu entry names that prefix's folder" \
    test "$folder" = "$prefix/share/xofview"
mkdir -p "$work/models" "$work/home"
cp "$demo/op.x" "$demo/rock.bmp" "$demo/stripes.png" "$work/models/"
shoot() { # folder, picture, then the model arguments
    local dir=$1 out=$2
    shift 2
    (cd "$dir" && env -u DISPLAY "$prefix/bin/xofview-shot" --set lastMouseX=400 --frame 2 \
        "$@" --out "$out" 2>>"$work/menu.err")
}
shoot "$demo" "$work/readme.png"
shoot "$folder" "$work/menu.png" --model "$work/models/op.x"
shoot "$work/home" "$work/home.png" --model "$work/models/op.x"
differing() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
check "started as the menu entry says, a model looks as the README shows it" \
    test "$(differing "$work/readme.png" "$work/menu.png")" = 0
check "with no messages" test ! -s "$work/menu.err"
check "(in the home folder the filter image is missing)" \
    test "$(differing "$work/readme.png" "$work/home.png")" -gt 1000

# The MIME package in a data folder of its own, asked through GIO as a GNOME session would.
update-mime-database "$share/mime" 2>/dev/null
filetype() {
    XDG_DATA_HOME=$work/home XDG_DATA_DIRS=$share:/usr/share XDG_CURRENT_DESKTOP=GNOME \
        xdg-mime query filetype "$1" 2>/dev/null
}
mkdir -p "$work/files"
for model in "$xcorpus"/*.x; do
    check "$(basename "$model") is a model/x.directx" test "$(filetype "$model")" = model/x.directx
done
cp "$xcorpus/test_cube_binary.x" "$work/files/cube"
check "a model without the .x name is known by its header" \
    test "$(filetype "$work/files/cube")" = model/x.directx
printf 'struct point { int x; int y; };\nprogram P { version V { int F(point) = 1; } = 1; } = 0x20000001;\n' \
    >"$work/files/rpc.x"
printf '%%{\n#include <stdio.h>\n%%}\n%%%%\n[0-9]+ { puts(yytext); }\n' >"$work/files/scanner.x"
for other in rpc.x scanner.x; do
    type=$(filetype "$work/files/$other")
    check "the text $other is not claimed ($type)" test -n "$type" -a "$type" != model/x.directx
done

# The thumbnailer entry's command, with its codes filled in as a file manager fills them.
exec_line=$(sed -n 's/^Exec=//p' "$share/thumbnailers/xofview.thumbnailer")
check "the thumbnailer runs xofview-shot --thumbnail" test "$exec_line" = "xofview-shot --thumbnail %s %i %o"
thumbnails=()
for model in "$xcorpus"/*.x; do
    name=$(basename "$model" .x)
    for size in 128 256; do
        out="$work/thumb-$name-$size.png"
        command=${exec_line//%s/$size}
        command=${command//%i/$model}
        command=${command//%o/$out}
        (cd "$work" && env -u DISPLAY $command 2>"$work/thumb.err")
        check "the thumbnailer draws $name at ${size}x$size" \
            test $? = 0 -a "$(identify -format '%wx%h' "$out" 2>/dev/null)" = "${size}x$size"
    done
    thumbnails+=("$work/thumb-$name-256.png")
done
montage -font DejaVu-Sans -label '%t' "${thumbnails[@]}" -tile 3x -geometry +6+6 \
    "$build/thumbnail-sheet.png" 2>/dev/null ||
    montage "${thumbnails[@]}" -tile 3x -geometry +6+6 "$build/thumbnail-sheet.png"

finish_checks
