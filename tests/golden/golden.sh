#!/usr/bin/env bash
# Visual regression: xofview-shot frames of the demo against golden PNGs.
#   golden.sh XOFVIEW_SHOT DEMO_DIR           compare
#   golden.sh XOFVIEW_SHOT DEMO_DIR --update  write the golden PNGs anew, on purpose
# A frame passes when at most 0.05 % of its pixels differ from the golden one by more than
# 3 % in a channel: enough for Mesa's rounding, too little for a lost texture, tint, HUD line
# or a shifted quad.
set -uo pipefail
shot=$1
demo=$2
update=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
# The frames are drawn with the tests' own fonts (see tests/CMakeLists.txt), whatever else the
# machine has installed.
fonts_conf=$(cd "$(dirname "$shot")/.." && pwd)/tests/fonts/fonts.conf
[ -z "${FONTCONFIG_FILE:-}" ] && [ -f "$fonts_conf" ] && export FONTCONFIG_FILE=$fonts_conf
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
allowed=310 # 0.05 % of 900 x 690
passed=0
failed=0
while IFS='|' read -r name args; do
    name=$(echo "$name" | xargs)
    [ -z "$name" ] || [ "${name:0:1}" = "#" ] && continue
    # shellcheck disable=SC2086
    if ! (cd "$demo" && "$shot" $args --out "$work/$name.png" 2>"$work/$name.err"); then
        echo "FAILED: $name: xofview-shot failed: $(cat "$work/$name.err")"
        failed=$((failed + 1))
        continue
    fi
    if [ "$update" = "--update" ]; then
        cp "$work/$name.png" "$here/$name.png"
        echo "updated: $name"
        continue
    fi
    differing=$(compare -metric AE -fuzz 3% "$here/$name.png" "$work/$name.png" null: 2>&1)
    if [[ "$differing" =~ ^[0-9]+$ ]] && [ "$differing" -le "$allowed" ]; then
        passed=$((passed + 1))
        echo "ok: $name ($differing pixels differ)"
    else
        failed=$((failed + 1))
        mkdir -p "${GOLDEN_FAILURES:-/tmp/xofview-golden}"
        cp "$work/$name.png" "${GOLDEN_FAILURES:-/tmp/xofview-golden}/$name.png"
        echo "FAILED: $name: $differing pixels differ (see ${GOLDEN_FAILURES:-/tmp/xofview-golden})"
    fi
done <"$here/scenes.txt"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
