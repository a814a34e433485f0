#!/usr/bin/env bash
# Builds the viewer and xofview-shot for Windows with mingw-w64 against the SDK's own headers and
# libraries: the viewer's sources must compile unchanged there. Our own D3DX (src/platform/d3dx9)
# and .x reader (xfile) are compiled in, against the same SDK headers, over the system's d3d9.dll,
# GDI, WIC and kernel32, with zlib linked statically (Debian's libz-mingw-w64-dev); the rest of
# src/platform (win32, d3d9, dinput) is Linux's and stays out, as do the Linux halves of d3dx9's
# per-system files. Then packs xofview-windows.zip: both programs (the C++ runtime linked in),
# the demo beside them, and a README.
#   windows-build.sh [OUT] [--sdk-d3dx]
# --sdk-d3dx links the SDK's D3DX instead of ours (mingw's libd3dx9, d3dx9_43.dll at run time,
# which Wine implements): the conformance harness's reference, independent of our code.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build-windows}
d3dx=ours
[ "${2:-}" != --sdk-d3dx ] || d3dx=sdk
mkdir -p "$out"
out=$(cd "$out" && pwd)
cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null || cxx=x86_64-w64-mingw32-g++
flags=(-std=c++20 -O2 -Wall -Wextra -Werror -ffp-contract=off -I"$root/src" -static)
libs=(-ld3d9 -ldinput8 -ldxguid -lwindowscodecs -lole32 -lgdi32 -lshell32 -luser32 -lz)

# Our D3DX as a static library, its objects built two at a time. stb_image (Debian's libstb-dev)
# reads the TGA files WIC cannot.
platform=$root/src/platform
objects=$out/d3dx9-objects
compile_d3dx9() { # source
  local object
  object=$objects/$(basename "$(dirname "$1")")-$(basename "$1" .cpp).o
  "$cxx" "${flags[@]}" -I"$platform" -isystem /usr/include/stb -c "$1" -o "$object"
}
build_our_d3dx9() {
  local sources=() f
  for f in "$platform"/d3dx9/*.cpp "$platform"/xfile/*.cpp; do
    [[ $f =~ _(freetype|sdl|posix|iconv)\.cpp$ ]] || sources+=("$f")
  done
  rm -rf "$objects" "$out/libxofview_d3dx9.a"
  mkdir -p "$objects"
  export -f compile_d3dx9
  export cxx objects platform flags_text="${flags[*]}"
  printf '%s\n' "${sources[@]}" |
    xargs -P "${JOBS:-2}" -I{} bash -c 'flags=($flags_text); compile_d3dx9 "$1"' _ {}
  x86_64-w64-mingw32-ar rcs "$out/libxofview_d3dx9.a" "$objects"/*.o
}
if [ $d3dx = ours ]; then
  build_our_d3dx9
  libs=("$out/libxofview_d3dx9.a" "${libs[@]}")
else
  libs=(-ld3dx9 "${libs[@]}")
fi

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
# Python's zipfile marks non-ASCII names as UTF-8 (general purpose bit 11), so that unzippers
# on any system read フィルター画像.jpg as spelled; Info-ZIP's zip stores the bytes unmarked, to
# be read in the unzipper's own code page.
(cd "$out/package" && python3 - "$out/xofview-windows.zip" xofview <<'PACK'
import os, sys, zipfile
archive, folder = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as zip:
    zip.write(folder)
    for name in sorted(os.listdir(folder)):
        zip.write(os.path.join(folder, name))
PACK
)
echo "windows-build: $out/xofview.exe $out/xofview-shot.exe $out/xofview-windows.zip"
