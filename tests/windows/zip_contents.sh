#!/usr/bin/env bash
# xofview-windows.zip: what is in it, what its README says first, and that its programs import
# only DLLs a plain Windows 10 or 11 has: no D3DX DLL (no Windows 10 or 11 ships one), nothing
# to install first.
#   zip_contents.sh ZIP
set -uo pipefail
zip=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../lib/checks.sh
source "$(dirname "$0")/../lib/checks.sh"

# What Windows itself ships (System32), matched without regard to case; the UCRT's API sets are
# part of Windows 10 and later.
plain_windows='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|comdlg32|msvcrt|d3d9|dinput8|windowscodecs|ws2_32|shlwapi|version|winmm|imm32|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'

unzip -q "$zip" -d "$work" 2>/dev/null
check "the zip unpacks" test -d "$work/xofview"
for f in xofview.exe xofview-shot.exe op.x フィルター画像.jpg README.txt; do
    check "it holds $f" test -s "$work/xofview/$f"
done
# The filter image's name read back from the archive's own entry: UTF-8, and marked so (bit 11),
# or an unzipper reads it in its system's code page and the viewer never finds the file.
utf8_entry() {
    python3 - "$zip" <<'READ'
import sys, zipfile
names = {i.filename: i.flag_bits & 0x800 for i in zipfile.ZipFile(sys.argv[1]).infolist()}
sys.exit(0 if names.get("xofview/フィルター画像.jpg") else 1)
READ
}
check "its entry フィルター画像.jpg is stored with the UTF-8 name flag" utf8_entry
first=$(tr -d '\r' <"$work/xofview/README.txt" | grep -v '^[=[:space:]]*$' | sed -n 2p)
check "the README says first that nothing needs installing" grep -q '^Nothing to install' <<<"$first"
check "and sends nobody to a DirectX runtime" \
    bash -c "! grep -qiE 'd3dx9_|End-User Runtime' '$work/xofview/README.txt'"
check "it says how a non-Japanese system shows the title and how to switch the locale" \
    bash -c "grep -q 'Outside Japan' '$work/xofview/README.txt' &&
             grep -q 'Change system locale' '$work/xofview/README.txt'"

for exe in xofview.exe xofview-shot.exe; do
    imports=$(x86_64-w64-mingw32-objdump -p "$work/xofview/$exe" | sed -n 's/^\s*DLL Name: //p' |
        tr 'A-Z' 'a-z')
    check "$exe imports Direct3D 9 (d3d9.dll)" grep -qx 'd3d9.dll' <<<"$imports"
    foreign=$(grep -vE "$plain_windows" <<<"$imports" | tr '\n' ' ')
    check "$exe imports only a plain Windows' DLLs (others: ${foreign:-none})" test -z "$foreign"
    echo "   $exe imports: $(tr '\n' ' ' <<<"$imports")"
done

finish_checks
