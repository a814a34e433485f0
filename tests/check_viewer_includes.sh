#!/usr/bin/env bash
# Fails if a viewer source includes anything but the platform headers, the standard library or
# the viewer's own headers.
set -euo pipefail
src=$1
allowed_platform='windows\.h|shellapi\.h|objbase\.h|d3d9\.h|d3d9types\.h|d3dx9\.h|d3dx9[a-z]*\.h|dinput\.h|unknwn\.h'
status=0
while IFS= read -r line; do
  file=${line%%:*}
  header=$(sed -E 's/.*#\s*include\s*[<"]([^>"]+)[>"].*/\1/' <<<"$line")
  case "$header" in
    app/*|graphics/*|scene/*|controls/*|render/*) continue ;;
  esac
  if grep -Eq "^($allowed_platform)$" <<<"$header"; then continue; fi
  # Standard library headers have no extension (or are the C ones named c*).
  if [[ "$header" != */* && "$header" != *.* ]]; then continue; fi
  echo "$line: not a platform or standard header" >&2
  status=1
done < <(grep -HnE '^\s*#\s*include' "$src"/{app,graphics,scene,controls,render}/* 2>/dev/null || true)
exit $status
