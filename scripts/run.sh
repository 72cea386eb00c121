#!/bin/sh
# Sets up a Debian 12 machine, builds the installer and starts it.
# Arguments are passed to the installer (for example: -path /home/me/Corvane/).
#
# With --sample first, the installer runs on a small sample release that is
# built and served on this machine (tools/sample):
#   --sample          the web update of an older copy of the sample
#   --sample --demo   the web demo install of the sample
#   --sample --disc   the disc flows, from the sample's two install discs
set -eu
cd "$(dirname "$0")/.."

./scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCORVANE_TESTS=OFF
if [ "${1:-}" = "--sample" ]; then
  shift
  cmake --build build --target corvane_installer corvane_sample
  exec ./build/tools/sample/corvane_sample --installer ./build/corvane_installer "$@"
fi
cmake --build build --target corvane_installer
exec ./build/corvane_installer "$@"
