#!/usr/bin/env bash
# xofview-shot --thumbnail and batches: the corpus models as square PNGs of the asked size, a
# file that does not load gives no PNG and a failing status, and a batch (one device, each next
# model dropped in) gives exactly what separate runs give.
#   shot_thumbnails.sh XOFVIEW_SHOT DEMO_DIR XCORPUS_DIR
set -uo pipefail
shot=$1
demo=$2
xcorpus=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# shellcheck source=../lib/checks.sh
source "$(dirname "$0")/../lib/checks.sh"

size_of() { identify -format '%wx%h' "$1" 2>/dev/null; }
# The fraction (0..1000) of a picture that is not the clear colour: the model's share.
model_share() {
    convert "$1" -fuzz 4% -fill black -opaque 'rgb(60,163,185)' -fill white +opaque black \
        -format '%[fx:int(1000*mean)]' info:
}
# 0 when the top left pixel is the clear colour (as a 16-bit back buffer holds it).
corner() {
    convert "$1" -crop 1x1+0+0 +repage -fuzz 3% -fill black -opaque 'rgb(60,163,185)' \
        -format '%[fx:int(1000*mean)]' info:
}

# 1. Each corpus model alone, framed, at the sizes file managers ask for.
models=("$xcorpus"/*.x)
for model in "${models[@]}"; do
    name=$(basename "$model" .x)
    # (Named apart from the models' textures, which are looked for here first.)
    "$shot" --thumbnail 128 "$model" "t-$name.png" 2>"$name.err"
    status=$?
    check "$name: status 0, a 128x128 PNG" test "$status" = 0 -a "$(size_of "t-$name.png")" = 128x128
    share=$(model_share "t-$name.png")
    check "$name: the model fills a fair part of the picture ($share/1000)" \
        test "$share" -gt 60 -a "$share" -lt 900
    check "$name: the corners show the clear colour" test "$(corner "t-$name.png")" = 0
done
"$shot" --thumbnail 512 "$xcorpus/test.x" big.png
check "a 512 thumbnail is 512x512" test "$(size_of big.png)" = 512x512

# 2. What does not load gives nothing, and says so.
printf 'struct rpc_thing { int x; };\n' >rpc.x
: >empty.x
for bad in rpc.x empty.x missing.x; do
    timeout 20 "$shot" --thumbnail 128 "$bad" "$bad.png" 2>"$bad.err"
    status=$?
    check "$bad: status 1, no PNG, a reason" \
        test "$status" = 1 -a ! -e "$bad.png" -a -s "$bad.err"
done
"$shot" --thumbnail 8 "$xcorpus/test.x" tiny.png 2>/dev/null
check "a size below 16 is refused" test "$?" = 2 -a ! -e tiny.png

# 3. A batch: one run, a bad file in the middle, the same pictures as one run each.
"$shot" --thumbnail 128 "${models[0]}" batch-0.png rpc.x batch-bad.png "${models[@]:1:1}" \
    batch-1.png "$xcorpus/test.x" batch-2.png 2>batch.err
status=$?
check "a batch with a bad file fails, and only that file has no PNG" \
    test "$status" = 1 -a ! -e batch-bad.png -a -e batch-0.png -a -e batch-1.png -a -e batch-2.png
same_as_alone() {
    cmp -s batch-0.png "t-$(basename "${models[0]}" .x).png" &&
        cmp -s batch-1.png "t-$(basename "${models[1]}" .x).png" && cmp -s batch-2.png t-test.png
}
check "a batch's thumbnails are those of separate runs" same_as_alone

# The viewer's frames in a batch: the next model dropped in, view and values kept. With the
# mouse at the middle nothing moves, so from the second frame on (the first is drawn before any
# camera is set) each frame is that of a run of its own.
cd "$demo"
"$shot" --set lastMouseX=400 --frame 2 --model op.x --out "$work/f-op.png" \
    --model "$xcorpus/test.x" --out "$work/f-test.png"
check "frames of a batch: status 0" test "$?" = 0
"$shot" --set lastMouseX=400 --frame 2 --model "$xcorpus/test.x" --out "$work/s-test.png"
check "the dropped model's frame is that of a run of its own" cmp -s "$work/f-test.png" "$work/s-test.png"
check "and differs from the model before it" bash -c "! cmp -s '$work/f-op.png' '$work/f-test.png'"
"$shot" --model op.x --out "$work/x.png" --out "$work/y.png" 2>/dev/null
check "an --out without its --model is refused" test "$?" = 2

finish_checks
