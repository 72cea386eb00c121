#!/bin/sh
# Installs every Debian package needed to build, run and test the installer.
# Safe to run again: packages already present are left as they are.
# Run as root on Debian 12 (or through sudo when available).
set -eu

PACKAGES="
  build-essential cmake pkg-config ninja-build
  googletest libgtest-dev libgmock-dev
  zlib1g-dev libminizip-dev libarchive-dev libpng-dev libsquish-dev
  libfreetype-dev fonts-dejavu-core
  libx11-dev libgl-dev libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0
  xvfb xauth xdotool libxtst-dev libxdamage-dev x11-utils x11-apps imagemagick openbox
  python3
  clang libclang-rt-14-dev
  p7zip-full zip unzip libarchive-tools curl
"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -z "$missing" ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "setup: these packages are missing and this is not root:$missing" >&2
    exit 1
  fi
fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
echo "setup: installed$missing"
