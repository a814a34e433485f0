#!/usr/bin/env bash
# Conformance: each scene is built twice, on our platform and for Windows with mingw-w64; the
# Windows build runs under Wine (an independent Direct3D 9, D3DX 9 and user32 written to match
# Windows) and gives the reference back buffer. The two are compared pixel by pixel, and the
# mesh loader's results are compared as text dumps.
#
# A second comparison ("self-" scenes and meshes) holds our own D3DX to itself on both systems:
# the self-contained Windows build (our D3DX linked in, as in the zip) runs under Wine with every
# D3DX DLL of Wine's switched off, so that it cannot load one, against our Linux build. Mesh
# dumps must be identical; frames differ only where Wine's d3d9 (or GDI's font, WIC's decoders)
# departs from ours.
#
# usage: tests/conformance/run.sh BUILD_DIR [NAME_PATTERN]
#   BUILD_DIR     a configured CMake build directory; results go to BUILD_DIR/conformance
#   NAME_PATTERN  only the scenes and meshes whose name matches (grep -E)
#
# Exit status: 0 when the harness ran and every result is either within target or named in
# expected.txt; 1 otherwise (a Wine-side failure, an unexplained difference); 2 when a
# prerequisite is missing.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [NAME_PATTERN]" >&2; exit 2; }
build=$(cd "$1" && pwd) || exit 2
pattern=${2:-.}
out=$build/conformance
xcorpus=$(cd "$root/../shared/xcorpus" 2>/dev/null && pwd) || xcorpus=""
started=$(date +%s)

# --- Prerequisites --------------------------------------------------------------------------
missing() {
  echo "conformance: $1" >&2
  echo "conformance: install with: apt-get install -y --no-install-recommends wine64 locales" \
    "xvfb xauth g++-mingw-w64-x86-64; then generate the locale:" \
    "sed -i 's/^# ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen && locale-gen" >&2
  exit 2
}
wine=$(command -v wine64 || true)
[ -n "$wine" ] || [ ! -x /usr/lib/wine/wine64 ] || wine=/usr/lib/wine/wine64
[ -n "$wine" ] || missing "wine64 is not installed (Debian package wine64)"
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || [ ! -x /usr/lib/wine/wineserver ] || wineserver=/usr/lib/wine/wineserver
[ -n "$wineserver" ] || missing "wineserver is not installed (Debian package wine64)"
command -v xvfb-run >/dev/null || missing "xvfb-run is not installed (Debian packages xvfb xauth)"
mingw=$(command -v x86_64-w64-mingw32-g++-posix || command -v x86_64-w64-mingw32-g++ || true)
[ -n "$mingw" ] || missing "mingw-w64 is not installed (Debian package g++-mingw-w64-x86-64)"
locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$' ||
  missing "the ja_JP.UTF-8 locale is not generated (Wine's D3DX font needs it for code page 932)"

rm -rf "$out/native" "$out/wine" "$out/diff" "$out/logs" "$out/work" "$out/jobs" "$out/mesh"
mkdir -p "$out"/{native,wine,diff,logs,work,jobs/native,jobs/wine,mesh/native,mesh/wine,windows}

# --- What runs ------------------------------------------------------------------------------
# A scene: NAME KIND ARGS... ; KIND is a scene program (run in data/ with OUT.png VARIANT),
# "shot:FOLDER" (xofview-shot run in a copy of FOLDER with ARGS, its HUD compared by lines) or
# "thumb:FOLDER" (xofview-shot's thumbnail of the model ARGS names, in a copy of FOLDER). The
# program "matrix" draws a page of fixed-function cells, each compared on its own.
scenes=(
  "clear clear"
  "filter-white filter FFFFFFFF"
  "filter-tint80 filter 80FF8040"
  "filter-alpha20 filter 20FFFFFF"
  "filter-alpha0 filter 00FF0000"
  "filter-png filter FFFFFFFF:filter.png"
  "filter-png-tint filter 80FF8040:filter.png"
  "filter-jpg filter C0A0FFA0:tex.jpg"
  "lit-amb05 lit amb05"
  "lit-amb50 lit amb50"
  "lit-amb100 lit amb100"
  "lit-power lit power"
  "lit-vcolor lit vcolor"
  "lit-yaw lit yaw"
  "tex-png textured tex.png"
  "tex-png-npot textured tex_npot.png"
  "tex-bmp textured tex.bmp"
  "tex-tga textured tex.tga"
  "tex-dds textured tex.dds"
  "tex-jpg textured tex.jpg"
  "tex-none textured none"
  "cull-ccw cull_depth ccw"
  "cull-none cull_depth none"
  "cull-cw cull_depth cw"
  "depth-greater cull_depth zfunc"
  "shot-demo shot:demo"
  "shot-demo-mouse shot:demo --set lastMouseX=400 --frame 2"
  "shot-demo-amb05 shot:demo --set ambientRed=0.05 --set ambientGreen=0.05 --set ambientBlue=0.05"
  "shot-demo-filter255 shot:demo --set filterAlpha=255"
  "shot-demo-eye shot:demo --set eyePosition=1.5,0.5,-4 --set heading=-0.4 --set lookHeight=0.2"
)
for lighting in lit unlit; do
  for states in device viewer blend; do
    scenes+=("ffp-$lighting-$states matrix $lighting-$states")
  done
done
models=()
if [ -n "$xcorpus" ]; then
  for f in "$xcorpus"/*.x; do
    m=$(basename "$f" .x)
    models+=("$m")
    scenes+=("shot-x-$m shot:x/$m --model $m.x")
    scenes+=("shot-x-$m-turned shot:x/$m --model $m.x --set lastMouseX=400 --frame 2 --set ambientRed=0.05 --set ambientGreen=0.05 --set ambientBlue=0.05")
    scenes+=("thumb-x-$m thumb:x/$m $m.x")
  done
else
  echo "conformance: ../shared/xcorpus not found: its models are left out" >&2
fi
# Every xofview-shot scene once more with our D3DX on both sides.
for s in "${scenes[@]}"; do
  read -r name kind rest <<<"$s"
  [[ $kind == shot:* ]] && scenes+=("self-$name self:${kind#shot:} $rest")
done
# Animated models posed by their sets: Wine's D3DX plays no animation, so these are drawn with our
# D3DX on both sides (its poses against Wine's Direct3D 9).
for t in 0 0.35 0.7; do
  scenes+=("self-anim-arm-bend-$t self:anim --fit --frame 2 --model arm_bend.x --animation Bend --time $t")
  scenes+=("self-anim-arm-twist-$t self:anim --fit --frame 2 --model arm_bend.x --animation Twist --time $t")
  scenes+=("self-anim-rigid-$t self:anim --fit --frame 2 --model rigid_parts.x --animation Turn --time $t")
  for m in "${models[@]}"; do
    [ "$m" = anim_test ] &&
      scenes+=("self-anim-x-$m-$t self:x/$m --fit --frame 2 --model $m.x --animation 0 --time $t")
  done
done
mesh_files=()
[ -z "$xcorpus" ] || mesh_files+=("$xcorpus"/*.x)
mesh_files+=("$here"/data/x/*.x)

selected=()
for s in "${scenes[@]}"; do
  name=${s%% *}
  echo "$name" | grep -qE -- "$pattern" && selected+=("$s")
done
selected_meshes=()
selected_self_meshes=()
for f in "${mesh_files[@]}"; do
  basename "$f" .x | grep -qE -- "$pattern" && selected_meshes+=("$f")
  echo "self-mesh-$(basename "$f" .x)" | grep -qE -- "$pattern" && selected_self_meshes+=("$f")
done

# Folders for xofview-shot: the demo, and each corpus model with its textures.
mkdir -p "$out/work/demo" "$out/work/anim"
cp -r "$root/demo/." "$out/work/demo/"
cp "$root/tests/data/models/"*.x "$root/demo/フィルター画像.jpg" "$out/work/anim/"
for m in "${models[@]}"; do
  mkdir -p "$out/work/x/$m"
  cp "$xcorpus/$m.x" "$out/work/x/$m/"
  cp "$xcorpus"/*.png "$out/work/x/$m/" 2>/dev/null || true
done

# --- Build ----------------------------------------------------------------------------------
echo "conformance: building the native side in $build"
cmake --build "$build" --target conformance_compare >"$out/logs/build-compare.log" 2>&1 || {
  cat "$out/logs/build-compare.log" >&2
  echo "conformance: the comparison program does not build" >&2
  exit 1
}
programs=(clear filter lit textured cull_depth matrix)
native_targets=(xofview-shot conformance_mesh_dump)
for p in "${programs[@]}"; do native_targets+=("conformance_$p"); done
# Keep going past programs that do not link yet: those scenes report "native side missing".
cmake --build "$build" --target "${native_targets[@]}" -- -k 0 >"$out/logs/build-native.log" 2>&1 ||
  echo "conformance: some native programs do not build (see $out/logs/build-native.log)"
native_shot=$build/tools/xofview-shot

echo "conformance: building the Windows side with $(basename "$mingw")"
win=$out/windows
flags=(-std=c++20 -O2 -Wall -Wextra -ffp-contract=off -static)
libs=(-ld3dx9 -ld3d9 -luser32 -lgdi32)
newer() { # newer TARGET SOURCES...: true when TARGET is missing or older than a source
  local t=$1
  shift
  [ -e "$t" ] || return 0
  for s in "$@"; do [ "$s" -nt "$t" ] && return 0; done
  return 1
}
build_windows() { # name source
  if newer "$win/$1.exe" "$2" "$here/scenes/scene.h" "$here/scenes/geometry.h"; then
    "$mingw" "${flags[@]}" -I"$here" "$2" -o "$win/$1.exe" "${libs[@]}" \
      >"$out/logs/build-windows-$1.log" 2>&1 || {
      cat "$out/logs/build-windows-$1.log" >&2
      echo "conformance: $1 does not build for Windows" >&2
      exit 1
    }
  fi
}
for p in "${programs[@]}"; do build_windows "$p" "$here/scenes/$p.cpp" & done
build_windows mesh_dump "$here/mesh_dump.cpp" &
viewer_sources=$(find "$root/src/app" "$root/src/graphics" "$root/src/scene" "$root/src/controls" \
  "$root/src/render" "$root/tools/xofview_shot.cpp" -name '*.cpp' -o -name '*.h')
# shellcheck disable=SC2086
if newer "$win/viewer/xofview-shot.exe" $viewer_sources; then
  "$root/scripts/windows-build.sh" "$win/viewer" --sdk-d3dx >"$out/logs/build-windows-viewer.log" 2>&1 || {
    cat "$out/logs/build-windows-viewer.log" >&2
    echo "conformance: xofview-shot does not build for Windows" >&2
    exit 1
  }
fi
wait
for p in "${programs[@]}" mesh_dump; do
  [ -x "$win/$p.exe" ] || { echo "conformance: $p.exe is missing" >&2; exit 1; }
done
# The self-contained build, and mesh_dump over the same D3DX library, for the self- comparison.
our_d3dx_sources=$(find "$root/src/platform/d3dx9" "$root/src/platform/xfile" -name '*.cpp' -o -name '*.h')
# shellcheck disable=SC2086
if newer "$win/self/xofview-shot.exe" $viewer_sources $our_d3dx_sources; then
  "$root/scripts/windows-build.sh" "$win/self" >"$out/logs/build-windows-self.log" 2>&1 || {
    cat "$out/logs/build-windows-self.log" >&2
    echo "conformance: the self-contained xofview-shot does not build for Windows" >&2
    exit 1
  }
fi
if newer "$win/self/mesh_dump.exe" "$here/mesh_dump.cpp" "$win/self/libxofview_d3dx9.a"; then
  "$mingw" "${flags[@]}" -I"$here" "$here/mesh_dump.cpp" -o "$win/self/mesh_dump.exe" \
    "$win/self/libxofview_d3dx9.a" -ld3d9 -ldxguid -lwindowscodecs -lole32 -lgdi32 -luser32 -lz \
    >"$out/logs/build-windows-self-mesh_dump.log" 2>&1 || {
    cat "$out/logs/build-windows-self-mesh_dump.log" >&2
    echo "conformance: mesh_dump does not build over our D3DX for Windows" >&2
    exit 1
  }
fi

# --- Jobs -----------------------------------------------------------------------------------
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
# Wine's usual overrides, and every D3DX DLL of Wine's switched off: a program that imports one
# does not start.
wine_overrides="mscoree,mshtml=;winemenubuilder.exe=d"
no_d3dx=$(printf 'd3dx9_%s,' $(seq 24 43))
without_wine_d3dx=(env "WINEDLLOVERRIDES=$wine_overrides;${no_d3dx%,}=d")
job() { # side name directory command...
  local side=$1 name=$2 dir=$3
  shift 3
  {
    echo "cd '$dir' || exit 1"
    printf 'timeout 120 '
    printf '%q ' "$@"
    echo ">'$out/logs/$side-$name.log' 2>&1"
    echo "echo \$? >'$out/logs/$side-$name.rc'"
  } >"$out/jobs/$side/$name.sh"
}
for s in "${selected[@]}"; do
  read -r -a words <<<"$s"
  name=${words[0]}
  kind=${words[1]}
  args=("${words[@]:2}")
  if [[ $kind == shot:* ]]; then
    dir=$out/work/${kind#shot:}
    job native "$name" "$dir" "$native_shot" "${args[@]}" --out "$out/native/$name.png"
    job wine "$name" "$dir" "$wine" "$win/viewer/xofview-shot.exe" "${args[@]}" \
      --out "$(winpath "$out/wine/$name.png")"
  elif [[ $kind == self:* ]]; then
    dir=$out/work/${kind#self:}
    job native "$name" "$dir" "$native_shot" "${args[@]}" --out "$out/native/$name.png"
    job wine "$name" "$dir" "${without_wine_d3dx[@]}" "$wine" "$win/self/xofview-shot.exe" \
      "${args[@]}" --out "$(winpath "$out/wine/$name.png")"
  elif [[ $kind == thumb:* ]]; then
    dir=$out/work/${kind#thumb:}
    job native "$name" "$dir" "$native_shot" --thumbnail 256 "${args[0]}" "$out/native/$name.png"
    job wine "$name" "$dir" "$wine" "$win/viewer/xofview-shot.exe" --thumbnail 256 "${args[0]}" \
      "$(winpath "$out/wine/$name.png")"
  else
    job native "$name" "$here/data" "$build/tests/conformance/native/$kind" \
      "$out/native/$name.png" "${args[@]}"
    job wine "$name" "$here/data" "$wine" "$win/$kind.exe" "$(winpath "$out/wine/$name.png")" \
      "${args[@]}"
  fi
done
for f in "${selected_meshes[@]}"; do
  name=mesh-$(basename "$f" .x)
  job native "$name" "$(dirname "$f")" "$build/tests/conformance/native/mesh_dump" "$(basename "$f")"
  job wine "$name" "$(dirname "$f")" "$wine" "$win/mesh_dump.exe" "$(basename "$f")"
done
for f in "${selected_self_meshes[@]}"; do
  name=self-mesh-$(basename "$f" .x)
  job native "$name" "$(dirname "$f")" "$build/tests/conformance/native/mesh_dump" "$(basename "$f")"
  job wine "$name" "$(dirname "$f")" "${without_wine_d3dx[@]}" "$wine" "$win/self/mesh_dump.exe" \
    "$(basename "$f")"
done

echo "conformance: running ${#selected[@]} scenes and $((${#selected_meshes[@]} + ${#selected_self_meshes[@]})) meshes on our platform"
(
  export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LANG=ja_JP.UTF-8
  # The fonts the tests draw with (see tests/CMakeLists.txt), whatever else is installed.
  [ ! -f "$build/tests/fonts/fonts.conf" ] || export FONTCONFIG_FILE=$build/tests/fonts/fonts.conf
  find "$out/jobs/native" -name '*.sh' | sort | xargs -r -n1 -P2 bash
)

echo "conformance: running them under Wine ($("$wine" --version 2>/dev/null))"
export WINEPREFIX=$out/wineprefix WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES=$wine_overrides
cat >"$out/jobs/wine-all.sh" <<EOF
[ -d '$WINEPREFIX/drive_c' ] || '$wine' wineboot -i >'$out/logs/wineboot.log' 2>&1
'$wineserver' -p
find '$out/jobs/wine' -name '*.sh' | sort | xargs -r -n1 -P2 bash
# Wine itself now and then crashes or hangs as a process ends (about one job in a few hundred):
# a reference job that did not exit cleanly runs once more, alone.
for job in '$out/jobs/wine'/*.sh; do
  rc=\$(cat '$out/logs'/wine-\$(basename "\$job" .sh).rc 2>/dev/null)
  [ "\$rc" = 0 ] || bash "\$job"
done
'$wineserver' -k
EOF
# The pointer starts at the screen centre: far from the windows, so no mouse move reaches them.
xvfb-run -a -n 141 -s "-screen 0 3200x2400x24" bash "$out/jobs/wine-all.sh" >"$out/logs/xvfb.log" 2>&1

# --- Results --------------------------------------------------------------------------------
# expected.txt: NAME KIND REASON. KIND "wine": Wine departs from Windows there, a permanent
# exception. KIND "platform": our platform is wrong there, an open bug for its owner.
expected() { grep -E "^$1[[:space:]]" "$here/expected.txt" 2>/dev/null | head -1; }
compare=$build/tests/conformance/compare
failures=0
unexpected() { failures=$((failures + 1)); }
rc_of() { cat "$out/logs/$1-$2.rc" 2>/dev/null || echo none; }

verdict() { # name status detail
  local line kind reason
  line=$(expected "$1")
  if [ "$2" = pass ]; then
    printf '  %-34s ok      %s\n' "$1" "$3"
    [ -z "$line" ] || printf '  %-34s         (listed in expected.txt but agrees now: remove it)\n' ""
  elif [ -n "$line" ]; then
    read -r _ kind reason <<<"$line"
    printf '  %-34s %-7s %s\n' "$1" "$kind" "$3"
    printf '  %-34s         expected: %s\n' "" "$reason"
  else
    printf '  %-34s DIFFERS %s\n' "$1" "$3"
    unexpected
  fi
}

# A matrix cell is listed in expected.txt by a line whose first field, a pattern (grep -E), matches
# its whole name.
expected_cell() {
  local pattern rest
  while read -r pattern rest; do
    case $pattern in "" | "#"*) continue ;; esac
    [[ $1 =~ ^${pattern}$ ]] && { echo "$pattern $rest"; return 0; }
  done <"$here/expected.txt"
  return 1
}
matrix_cells=0
matrix_short=0
matrix_listed=0
matrix_patterns=()
matrix_verdict() { # name: each cell of the page on its own
  local result status cell line kind reason
  result=$("$compare" --cells "$out/logs/native-$1.log" --tile 50 "$out/wine/$1.png" \
    "$out/native/$1.png" "$out/diff/$1.png")
  status=$?
  [ $status -le 1 ] || { printf '  %-34s COMPARE FAILED\n' "$1"; unexpected; return; }
  matrix_cells=$((matrix_cells + $(sed -n 's/.*cells: \([0-9]*\),.*/\1/p' <<<"$result" | head -1)))
  printf '  %-34s %s\n' "$1" "$(head -1 <<<"$result" | sed 's/.*cells: /cells: /')"
  while read -r _ cell rest; do
    matrix_short=$((matrix_short + 1))
    if line=$(expected_cell "$cell"); then
      matrix_listed=$((matrix_listed + 1))
      read -r pattern kind reason <<<"$line"
      matrix_patterns+=("$pattern")
      printf '    %-38s %-7s %s\n' "$cell" "$kind" "$rest"
    else
      printf '    %-38s DIFFERS %s  (difference: %s)\n' "$cell" "$rest" "$out/diff/$1.png"
      unexpected
    fi
  done < <(grep '^cell ' <<<"$result")
}

echo
echo "conformance: scenes (reference = Windows build under Wine; share of pixels within 8 levels)"
for s in "${selected[@]}"; do
  read -r -a words <<<"$s"
  name=${words[0]}
  if [ "$(rc_of wine "$name")" != 0 ] || [ ! -s "$out/wine/$name.png" ]; then
    # A reference that cannot be drawn (Wine's loader refuses the model) may be a listed one.
    line=$(expected "$name")
    if [ -n "$line" ] && [ "$(awk '{print $2}' <<<"$line")" = wine ]; then
      printf '  %-34s wine    no reference (exit %s)\n' "$name" "$(rc_of wine "$name")"
      printf '  %-34s         expected: %s\n' "" "$(cut -d' ' -f3- <<<"$line")"
      continue
    fi
    printf '  %-34s WINE FAILED (exit %s): %s\n' "$name" "$(rc_of wine "$name")" \
      "$(tail -1 "$out/logs/wine-$name.log" 2>/dev/null)"
    unexpected
    continue
  fi
  if [ "$(rc_of native "$name")" != 0 ] || [ ! -s "$out/native/$name.png" ]; then
    printf '  %-34s native side missing (exit %s): %s\n' "$name" "$(rc_of native "$name")" \
      "$(grep -v '^$' "$out/logs/native-$name.log" 2>/dev/null | tail -1)"
    continue
  fi
  if [ "${words[1]}" = matrix ]; then
    matrix_verdict "$name"
    continue
  fi
  hud=()
  [[ ${words[1]} == shot:* || ${words[1]} == self:* ]] && hud=(--hud)
  result=$("$compare" "${hud[@]}" "$out/wine/$name.png" "$out/native/$name.png" \
    "$out/diff/$name.png")
  case $? in
    0) verdict "$name" pass "$result" ;;
    1) verdict "$name" fail "$result  (difference: $out/diff/$name.png)" ;;
    *) printf '  %-34s COMPARE FAILED\n' "$name"; unexpected ;;
  esac
done

if [ "$matrix_cells" -gt 0 ]; then
  echo "conformance: fixed-function matrix: $matrix_cells cells, $((matrix_cells - matrix_short))" \
    "agree, $matrix_listed differ as listed in expected.txt, $((matrix_short - matrix_listed))" \
    "unexplained"
  # A pattern of expected.txt that named cells of the pages run but matched none of them now.
  while read -r pattern _; do
    [[ $pattern == ffp-* ]] || continue
    used=0
    for p in "${matrix_patterns[@]}"; do [ "$p" = "$pattern" ] && used=1 && break; done
    [ $used = 1 ] || echo "  $pattern: listed in expected.txt but no cell differs now: remove it"
  done <"$here/expected.txt"
fi

mesh_results=()
for f in "${selected_meshes[@]}"; do mesh_results+=("mesh-$(basename "$f" .x)"); done
for f in "${selected_self_meshes[@]}"; do mesh_results+=("self-mesh-$(basename "$f" .x)"); done
if [ ${#mesh_results[@]} -gt 0 ]; then
  echo
  echo "conformance: D3DXLoadMeshFromXA dumps (counts, FVF, materials, vertices, faces)"
fi
for name in "${mesh_results[@]}"; do
  w=$out/mesh/wine/$name.txt
  n=$out/mesh/native/$name.txt
  tr -d '\r' <"$out/logs/wine-$name.log" >"$w" 2>/dev/null
  if [ "$(rc_of wine "$name")" != 0 ] || ! grep -q '^result ' "$w"; then
    printf '  %-34s WINE FAILED (exit %s)\n' "$name" "$(rc_of wine "$name")"
    unexpected
    continue
  fi
  cp "$out/logs/native-$name.log" "$n" 2>/dev/null
  if [ "$(rc_of native "$name")" != 0 ] || ! grep -q '^result ' "$n"; then
    printf '  %-34s native side missing (exit %s): %s\n' "$name" "$(rc_of native "$name")" \
      "$(grep -v '^$' "$n" 2>/dev/null | tail -1)"
    continue
  fi
  summary() { sed -n '1,2p' "$1" | tr '\n' ' ' | sed 's/ $//'; }
  if cmp -s "$w" "$n"; then
    verdict "$name" pass "$(summary "$w")"
  else
    lines=$(diff "$w" "$n" | grep -c '^[<>]')
    first=$(diff "$w" "$n" | grep -m2 '^[<>]' | cut -c1-100 | tr '\n' '|')
    verdict "$name" fail "$lines lines differ: $first (diff $w $n)"
  fi
done

echo
echo "conformance: $((($(date +%s) - started))) s; results in $out"
if [ "$failures" -gt 0 ]; then
  echo "conformance: $failures unexplained result(s)"
  exit 1
fi
echo "conformance: every result agrees or is a listed, explained difference"
