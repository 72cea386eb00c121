#!/bin/sh
# Sets up a Debian 12 machine, builds the installer and runs every test.
#   CORVANE_BUILD_DIR   build folder (default: build)
#   CORVANE_CMAKE_ARGS  extra CMake arguments, e.g. -DCORVANE_SANITIZE=ON
set -eu
cd "$(dirname "$0")/.."

./scripts/setup-debian.sh

build="${CORVANE_BUILD_DIR:-build}"
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja -DCORVANE_WERROR=ON ${CORVANE_CMAKE_ARGS:-}
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
