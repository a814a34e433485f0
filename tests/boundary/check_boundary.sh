#!/usr/bin/env bash
# Builds each boundary probe: sdk_headers must compile, every other probe must fail because the
# header it names is not found.
set -uo pipefail
cmake=$1 build=$2
shift 2
status=0
for probe in "$@"; do
  output=$("$cmake" --build "$build" --target "boundary_$probe" 2>&1)
  built=$?
  if [ "$probe" = sdk_headers ]; then
    if [ $built -ne 0 ]; then
      echo "FAIL: a viewer source with the SDK headers does not compile:" >&2
      echo "$output" >&2
      status=1
    fi
  elif [ $built -eq 0 ]; then
    echo "FAIL: $probe.cpp compiled as a viewer source; the platform's header is in reach" >&2
    status=1
  elif ! grep -q "No such file or directory" <<<"$output"; then
    echo "FAIL: $probe.cpp failed for another reason than a missing header:" >&2
    echo "$output" >&2
    status=1
  else
    echo "ok: $probe.cpp does not compile as a viewer source"
  fi
done
exit $status
