#!/usr/bin/env bash
# Thumbnails as GNOME makes them: the installed thumbnailer's command run in bubblewrap with the
# arguments gnome-desktop gives it (only /usr read-only, the /bin, /lib, /lib64 and /sbin links
# into it, /etc/ld.so.cache and no other /etc, a fresh /proc and /dev, no network, the output
# folder as /tmp and the model as /tmp/gnome-desktop-file-to-thumbnail.x). `make install` puts
# the programs under /usr/local, which the sandbox's /usr holds; the staged install is bound
# there, the one argument GNOME does not give. The thumbnail comes out with nothing on stderr
# but what the sandbox hides: the model's textures.
#   gnome_thumbnail_sandbox.sh BUILD_DIR PLAIN_MODEL TEXTURED_MODEL
set -uo pipefail
build=$1
plain=$2
textured=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../lib/checks.sh
source "$(dirname "$0")/../lib/checks.sh"

if ! bwrap --ro-bind / / --unshare-all true 2>"$work/bwrap.err"; then
    echo "SKIPPED: bubblewrap cannot make a sandbox here (no user namespaces?): $(cat "$work/bwrap.err")"
    exit 77
fi

stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr/local >"$work/install.log" 2>&1
check "cmake --install into a DESTDIR succeeds" test $? = 0
exec_line=$(sed -n 's/^Exec=//p' "$stage/usr/local/share/thumbnailers/xofview.thumbnailer")

sandboxed() { # model, size, output folder: runs the thumbnailer's command as GNOME does
    local model=$1 size=$2 out=$3
    local links=() dir
    for dir in bin lib lib64 sbin; do
        if [ -L "/$dir" ]; then
            links+=(--symlink "usr/$dir" "/$dir")
        elif [ -e "/$dir" ]; then
            links+=(--ro-bind "/$dir" "/$dir")
        fi
    done
    local command=${exec_line//%s/$size}
    command=${command//%i//tmp/gnome-desktop-file-to-thumbnail.x}
    command=${command//%o//tmp/gnome-desktop-thumbnailer.png}
    # shellcheck disable=SC2086 # the command's words, as the thumbnailer entry splits them
    bwrap --ro-bind /usr /usr --ro-bind /etc/ld.so.cache /etc/ld.so.cache "${links[@]}" \
        --proc /proc --dev /dev --chdir / --setenv GIO_USE_VFS local --unshare-all \
        --die-with-parent --ro-bind "$stage/usr/local" /usr/local --bind "$out" /tmp \
        --ro-bind "$model" /tmp/gnome-desktop-file-to-thumbnail.x $command
}
size_of() { identify -format '%wx%h' "$1" 2>/dev/null; }

check "the sandbox has no /etc/fonts" bash -c "! bwrap --ro-bind /usr /usr --symlink usr/bin /bin \
    --symlink usr/lib /lib --symlink usr/lib64 /lib64 --unshare-all test -e /etc/fonts"
for size in 128 256; do
    mkdir -p "$work/out-$size"
    sandboxed "$plain" "$size" "$work/out-$size" 2>"$work/plain-$size.err"
    status=$?
    check "a ${size} thumbnail comes out in the sandbox" \
        test "$status" = 0 -a "$(size_of "$work/out-$size/gnome-desktop-thumbnailer.png")" = "${size}x$size"
    check "with nothing on stderr" test ! -s "$work/plain-$size.err"
    cat "$work/plain-$size.err"
    check "and nothing left behind in the output folder" \
        test "$(ls -A "$work/out-$size")" = "$(printf 'gnome-desktop-file-to-thumbnail.x\ngnome-desktop-thumbnailer.png')"
done

# A textured model: drawn without its textures, which the sandbox hides; they are all stderr says.
mkdir -p "$work/out-textured"
sandboxed "$textured" 256 "$work/out-textured" 2>"$work/textured.err"
status=$?
check "a textured model's thumbnail comes out in the sandbox" \
    test "$status" = 0 -a "$(size_of "$work/out-textured/gnome-desktop-thumbnailer.png")" = 256x256
check "stderr names only the textures the sandbox hides" \
    bash -c "[ -s '$work/textured.err' ] && ! grep -qv '^xofview: texture .* not found' '$work/textured.err'"
cat "$work/textured.err"
(cd "$(dirname "$textured")" && "$stage/usr/local/bin/xofview-shot" --thumbnail 256 "$textured" \
    "$work/textured-outside.png" 2>/dev/null)
check "outside the sandbox the same model is drawn with its textures" \
    test "$(compare -metric AE "$work/textured-outside.png" \
        "$work/out-textured/gnome-desktop-thumbnailer.png" null: 2>&1 | cut -d' ' -f1)" -gt 1000

finish_checks
