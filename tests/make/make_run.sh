#!/usr/bin/env bash
# `make run`: installs only the packages the viewer needs, builds only xofview and xofview-shot,
# and on a second run, with nothing to build, goes straight to the demo.
#   make_run.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
root=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=../lib/checks.sh
source "$root/tests/lib/checks.sh"

# 1. The package sets, on a machine that has none of them: fake dpkg-query and apt-get.
mkdir -p "$work/bin"
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"
printf '#!/bin/sh\necho "$@" >>%s/apt.log\n' "$work" >"$work/bin/apt-get"
printf '#!/bin/sh\necho 0\n' >"$work/bin/id"
printf '#!/bin/sh\necho ja_JP.utf8\n' >"$work/bin/locale"
chmod +x "$work/bin"/*
asked() { # the packages install-deps.sh asks apt-get to install with these arguments
    rm -f "$work/apt.log"
    PATH="$work/bin:$PATH" "$root/scripts/install-deps.sh" "$@" >/dev/null
    grep '^install ' "$work/apt.log" | tr ' ' '\n'
}
run_set=$(asked run)
all_set=$(asked)
check "make run's packages build the viewer" grep -qx libsdl2-dev <<<"$run_set"
for p in libgtest-dev libbenchmark-dev libassimp-dev wine64 g++-mingw-w64-x86-64 clang xvfb; do
    check "make run does not install $p" bash -c '! grep -qx "$1" <<<"$2"' - "$p" "$run_set"
    check "make test installs $p" grep -qx "$p" <<<"$all_set"
done
check "make test installs all of make run's packages" \
    bash -c '[ -z "$(comm -23 <(sort <<<"$1") <(sort <<<"$2"))" ]' - "$run_set" "$all_set"

# 2. What building xofview and xofview-shot runs: no test, benchmark or fuzz target.
ninja -C "$build" -t commands xofview xofview-shot >"$work/commands"
check "the programs' build compiles the viewer" grep -q 'src/app/main.cpp' "$work/commands"
check "the programs' build compiles no test, benchmark or fuzz target" \
    bash -c "! grep -Eq 'gtest|/tests/|/bench/|/fuzz/' '$work/commands'"

# 3. A second `make run`, without a display: nothing is built, the demo is drawn.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY make -s -C "$root" run BUILD="$build" 2>&1)
status=$?
echo "$out"
check "a second make run succeeds" test "$status" = 0
check "a second make run builds nothing" grep -q 'no work to do' <<<"$out"
check "a second make run installs nothing" bash -c '! grep -q installing <<<"$1"' - "$out"
check "a second make run draws the demo" test -s "$build/demo.png"

finish_checks
