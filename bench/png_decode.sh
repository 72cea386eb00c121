#!/bin/sh
# Compares the PNG decode into the decode buffer with libpng's simplified
# read API on one 2048 x 2048 RGBA picture, in the same run.
#
#   bench/png_decode.sh [-b BUILD_DIR] [-n RUNS] [FILE]
#
# BUILD_DIR holds bench_png_decode (default: build/ of the source tree).
# Without FILE the picture is drawn and written by the program itself. Each
# decoder reads it RUNS times (default 10, at least 5), alternating; the
# medians count. Target: a speed ratio of at least 0.9.
set -eu

. "$(dirname "$0")/common.sh"
runs=10
while getopts b:n: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [FILE]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

need_built bench_png_decode
exec "$build/bench_png_decode" "$runs" "$@"
