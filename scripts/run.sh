#!/bin/sh
# Sets up a Debian 12 machine, builds the installer and starts it.
# Arguments are passed to the installer (for example: -path /home/me/Corvane/).
set -eu
cd "$(dirname "$0")/.."

./scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCORVANE_TESTS=OFF
cmake --build build --target corvane_installer
exec ./build/corvane_installer "$@"
