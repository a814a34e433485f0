#!/usr/bin/env bash
# The manual: both man pages render as Debian checks them (man, UTF-8, 80 columns) without a
# warning, and every key of the README's table is in the xofview page and in `xofview --help`;
# every option of `xofview-shot --help` is in its page.
#   manual.sh SOURCE_DIR XOFVIEW XOFVIEW_SHOT
set -uo pipefail
root=$1
viewer=$2
shot=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../lib/checks.sh
source "$root/tests/lib/checks.sh"

render() { # page; the text in $work/PAGE.txt, the warnings in $work/PAGE.err
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$root/docs/$1" \
        >"$work/$1.txt" 2>"$work/$1.err"
}
for page in xofview.1 xofview-shot.1; do
    render "$page"
    check "man renders $page" test $? = 0 -a -s "$work/$page.txt"
    check "$page renders without warnings" test ! -s "$work/$page.err"
    cat "$work/$page.err"
    check "$page has a NAME line whatis can read" grep -Eq '^NAME$' "$work/$page.txt"
done
lexgrog "$root/docs/xofview.1" >"$work/whatis" 2>&1
check "lexgrog reads the xofview page's name" grep -q 'xofview - view a DirectX' "$work/whatis"

"$viewer" --help >"$work/help.txt"
sed -n '/^KEYS$/,/^[A-Z]/p' "$work/xofview.1.txt" >"$work/keys.txt"
keys=0
while IFS= read -r key; do
    keys=$((keys + 1))
    check "--help lists the key \"$key\"" grep -qE "^  $(sed 's/[][\\.*+/^$]/\\&/g' <<<"$key")( |\$)" "$work/help.txt"
    check "the man page lists the key \"$key\"" grep -qF "       $key" "$work/keys.txt"
done < <(sed -n '/^| Key |/,/^$/p' "$root/README.md" | sed -n 's/^| \([^|]*[^ |]\) | .*/\1/p' | grep -v '^Key$\|^---')
check "the README's key table was read" test "$keys" -ge 14

"$shot" --help >"$work/shot-help.txt"
while IFS= read -r option; do
    check "the xofview-shot page has $option" grep -qE -- "^       $option( |\$)" "$work/xofview-shot.1.txt"
done < <(grep -oE '^  --[a-z]+' "$work/shot-help.txt" | sed 's/^  //')

finish_checks
