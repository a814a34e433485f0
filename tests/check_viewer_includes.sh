#!/usr/bin/env bash
# Fails if a viewer source includes anything but the platform's SDK headers, the standard library
# or the viewer's own headers, or if a room includes a room above it. The rooms, lowest first:
# a room may include only itself and the rooms before it, so they cannot form a cycle. Files
# named *_linux.cpp are the Linux program's own (the Windows build leaves them out): they may
# use Linux, but still no room above theirs.
set -euo pipefail
src=$1
rooms=(state scene controls graphics render app)
allowed_platform='windows\.h|shellapi\.h|objbase\.h|d3d9\.h|d3d9types\.h|d3dx9\.h|d3dx9[a-z]*\.h|dinput\.h|unknwn\.h'
rank_of() {
  local i
  for i in "${!rooms[@]}"; do [ "${rooms[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}
status=0
while IFS= read -r line; do
  file=${line%%:*}
  room=${file#"$src"/}
  room=${room%%/*}
  header=$(sed -E 's/.*#\s*include\s*[<"]([^>"]+)[>"].*/\1/' <<<"$line")
  target_rank=$(rank_of "${header%%/*}")
  if [[ "$header" == */* && $target_rank -ge 0 ]]; then
    if [ "$target_rank" -gt "$(rank_of "$room")" ]; then
      echo "$line: the $room room may not include ${header%%/*}/, a room above it" >&2
      status=1
    fi
    continue
  fi
  if grep -Eq "^($allowed_platform)$" <<<"$header"; then continue; fi
  if [[ "$file" == *_linux.cpp ]]; then continue; fi
  # Standard library headers have no extension (or are the C ones named c*).
  if [[ "$header" != */* && "$header" != *.* ]]; then continue; fi
  echo "$line: not a platform or standard header" >&2
  status=1
done < <(for room in "${rooms[@]}"; do grep -HnE '^\s*#\s*include' "$src/$room"/* || true; done)
exit $status
