#!/usr/bin/env bash
# Builds the viewer and xofview-shot for Windows with mingw-w64 against the SDK's own headers and
# libraries: the viewer's sources must compile unchanged there. Nothing of src/platform goes in.
# Then packs xofview-windows.zip: both programs (the C++ runtime linked in), the demo beside
# them, and a README.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build-windows}
mkdir -p "$out"
cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null || cxx=x86_64-w64-mingw32-g++
flags=(-std=c++20 -O2 -Wall -Wextra -Werror -ffp-contract=off -I"$root/src" -static)
libs=(-ld3dx9 -ld3d9 -ldinput8 -ldxguid -lole32 -lgdi32 -lshell32 -luser32)
cd "$root/src"
viewer=()
for f in state/*.cpp scene/*.cpp controls/*.cpp graphics/*.cpp render/*.cpp app/*.cpp; do
  # main.cpp is the program's own; *_linux.cpp are the Linux program's.
  [ "$f" = app/main.cpp ] || [[ "$f" == *_linux.cpp ]] || viewer+=("$f")
done
"$cxx" "${flags[@]}" app/main.cpp "${viewer[@]}" -o "$out/xofview.exe" "${libs[@]}" -mwindows
"$cxx" "${flags[@]}" "$root/tools/xofview_shot.cpp" "${viewer[@]}" -o "$out/xofview-shot.exe" "${libs[@]}"

# The zip: one folder, so that xofview.exe started from it finds the demo's op.x.
package=$out/package/xofview
rm -rf "$out/package" "$out/xofview-windows.zip"
mkdir -p "$package"
cp "$out/xofview.exe" "$out/xofview-shot.exe" "$root/demo"/* "$package/"
sed 's/$/\r/' "$root/scripts/windows-readme.txt" >"$package/README.txt"
(cd "$out/package" && zip -q -X -r "$out/xofview-windows.zip" xofview)
echo "windows-build: $out/xofview.exe $out/xofview-shot.exe $out/xofview-windows.zip"
