#!/bin/sh
# Time from start to a readable welcome screen: the installer until its
# welcome screen's title can be read (the whole screen drawn: see
# bench_first_frame --title), against a minimal GLX program
# (bench_minimal_glx: an 800 x 600 window, a legacy context, one swap) until
# its first frame. The installer's first frame of any kind (its window's
# colour) is given too. The CPU used on a static frame is
# bench/idle_cpu.sh's.
#
#   bench/first_frame.sh [-b BUILD_DIR] [-n RUNS] [-t GL_THREADS]
#
# Both run on a private Xvfb (800x600x24, white root) with Mesa's software
# GL at its own number of drawing threads, as a user has it (-t sets
# LP_NUM_THREADS instead); the installer from a copy of its own in a
# temporary folder with a temporary HOME. RUNS alternating starts of each
# (default 11, at least 5), medians.
set -eu

. "$(dirname "$0")/common.sh"
runs=11
threads=""
while getopts b:n:t: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    t) threads=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-t GL_THREADS]" >&2; exit 2 ;;
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
export DISPLAY HOME
if [ -n "$threads" ]; then
  LP_NUM_THREADS=$threads
  export LP_NUM_THREADS
  gl_threads="LP_NUM_THREADS=$threads"
else
  unset LP_NUM_THREADS
  gl_threads="the driver's own thread count"
fi

refs=""
firsts=""
readables=""
i=0
while [ $i -lt "$runs" ]; do
  refs="$refs $("$build/bench_first_frame" "$build/bench_minimal_glx" | awk '/^first_frame_ns/ { print $2 }')"
  out=$(cd "$scratch/app" && "$build/bench_first_frame" --title "Corvane 9 Web Updater" ./corvane_installer)
  firsts="$firsts $(echo "$out" | awk '/^first_frame_ns/ { print $2 }')"
  readable=$(echo "$out" | awk '/^readable_ns/ { print $2 }')
  [ -n "$readable" ] || { echo "the welcome screen did not become readable" >&2; exit 1; }
  readables="$readables $readable"
  i=$((i + 1))
done

# shellcheck disable=SC2086
awk -v readable="$(median $readables)" -v first="$(median $firsts)" -v ref="$(median $refs)" -v runs="$runs" \
    -v threads="$gl_threads" \
    -v all="$(printf '%s\n' $readables | awk '{ printf " %.1f", $1 / 1e6 }')" 'BEGIN {
  printf "medians of %d alternating runs (Xvfb, llvmpipe, %s)\n", runs, threads
  printf "minimal GLX program, first frame:   %8.1f ms\n", ref / 1e6
  printf "installer, first frame:             %8.1f ms (ratio %.2f)\n", first / 1e6, first / ref
  printf "installer, welcome screen readable: %8.1f ms (runs:%s)\n", readable / 1e6, all
  printf "ratio readable/minimal: %.2f (target <= 1.6)\n", readable / ref
}'
