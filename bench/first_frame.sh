#!/bin/sh
# Time from start to the first frame on the screen: the installer against a
# minimal GLX program (bench_minimal_glx: an 800 x 600 window, a legacy
# context, one swap). The CPU used on a static frame is bench/idle_cpu.sh's.
#
#   bench/first_frame.sh [-b BUILD_DIR] [-n RUNS]
#
# Both run on a private Xvfb (800x600x24, white root) with Mesa's software
# GL and LP_NUM_THREADS=2; the installer from a copy of its own in a
# temporary folder with a temporary HOME. RUNS alternating starts of each
# (default 11, at least 5), medians.
set -eu

. "$(dirname "$0")/common.sh"
runs=11
while getopts b:n: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS]" >&2; exit 2 ;;
  esac
done
[ "$runs" -ge 5 ] || runs=5

need_built bench_first_frame bench_minimal_glx corvane_installer
need_tools Xvfb

x_scratch first-frame-bench

mkdir -p "$scratch/app" "$scratch/home"
cp "$build/corvane_installer" "$scratch/app/"
start_xvfb
DISPLAY=$display
HOME=$scratch/home
LP_NUM_THREADS=2
export DISPLAY HOME LP_NUM_THREADS

frame() { "$build/bench_first_frame" "$@" | awk '/^first_frame_ns/ { print $2 }'; }

ours=""
refs=""
i=0
while [ $i -lt "$runs" ]; do
  refs="$refs $(frame "$build/bench_minimal_glx")"
  ours="$ours $(cd "$scratch/app" && frame ./corvane_installer)"
  i=$((i + 1))
done

# shellcheck disable=SC2086
awk -v ours="$(median $ours)" -v ref="$(median $refs)" -v runs="$runs" 'BEGIN {
  printf "first swapped frame, medians of %d alternating runs (Xvfb, llvmpipe)\n", runs
  printf "minimal GLX program: %8.1f ms\n", ref / 1e6
  printf "installer:           %8.1f ms\n", ours / 1e6
  printf "ratio installer/minimal: %.2f (target <= 1.3)\n", ours / ref
}'
