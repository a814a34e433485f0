#!/usr/bin/env bash
# Installs every Debian package that building, running and testing xofview needs.
# Safe to run again: it only asks apt for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libsdl2-dev libsdl2-image-dev
  libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0
  libfreetype-dev libfontconfig-dev fonts-noto-cjk
  fonts-ipafont-gothic # the HUD's Gothic
  fonts-vlgothic       # another Japanese font, which the font tests must not see
  zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev libassimp-dev
  xvfb xauth xdotool x11-utils imagemagick libx11-dev
  g++-mingw-w64-x86-64 wine64 locales
  libz-mingw-w64-dev libstb-dev # zlib and stb_image for our D3DX in the Windows build
  clang libclang-rt-14-dev
  desktop-file-utils shared-mime-info xdg-utils libglib2.0-bin zip unzip
  python3 # packs the Windows zip with UTF-8 names
)

# Wine draws the conformance references; its D3DX font needs a Japanese locale.
ensure_japanese_locale() {
  locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$' && return 0
  $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
}

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install packages" >&2; exit 1; }
  sudo="sudo"
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
ensure_japanese_locale
