#!/usr/bin/env bash
# Installs the Debian packages xofview needs:
#   install-deps.sh run    building and running the viewer and xofview-shot (`make run`)
#   install-deps.sh        that and everything the tests, benchmarks and Windows build need
# Safe to run again: one dpkg query finds what is missing, and only that is asked of apt.
set -euo pipefail

run_packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libsdl2-image-dev libpng-dev
  libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0
  libfreetype-dev libfontconfig-dev fonts-noto-cjk
  fonts-ipafont-gothic # the HUD's Gothic
  zlib1g-dev
  libglib2.0-dev # GIO: desktop notifications of load failures
)
test_packages=(
  clang-format
  fonts-vlgothic # another Japanese font, which the font tests must not see
  libgtest-dev libgmock-dev libbenchmark-dev libassimp-dev
  xvfb xauth xdotool x11-utils imagemagick libx11-dev
  g++-mingw-w64-x86-64 wine64 locales
  libz-mingw-w64-dev libstb-dev # zlib and stb_image for our D3DX in the Windows build
  clang libclang-rt-14-dev
  desktop-file-utils shared-mime-info xdg-utils libglib2.0-bin zip unzip
  python3 # packs the Windows zip with UTF-8 names
  man-db          # the man pages rendered as man shows them
  dbus-daemon     # a private session bus for the notification test
  bubblewrap      # GNOME's thumbnailer sandbox
  python3-gi      # the test's notification server
)

case "${1:-all}" in
run) packages=("${run_packages[@]}") ;;
all) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
*)
  echo "usage: install-deps.sh [run]" >&2
  exit 2
  ;;
esac

sudo=""
need_root() {
  [ "$(id -u)" -eq 0 ] && return 0
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install packages" >&2; exit 1; }
  sudo="sudo"
}

# Wine draws the conformance references; its D3DX font needs a Japanese locale.
ensure_japanese_locale() {
  locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' && return 0
  need_root
  $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
}

# The installed ones among `packages`, in one query (one per package takes seconds).
installed=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>/dev/null |
  awk '$1 == "ii" { print $2 }' || true)
missing=()
for p in "${packages[@]}"; do
  grep -qxF "$p" <<<"$installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  need_root
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
[ "${1:-all}" = run ] || ensure_japanese_locale
