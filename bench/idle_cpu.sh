#!/bin/sh
# CPU used while the installer shows a static wizard screen: the program
# (every thread, Mesa's llvmpipe at its default thread count) and the X
# server together, read from /proc over SECONDS.
#
#   bench/idle_cpu.sh [-b BUILD_DIR] [-n RUNS] [-s SECONDS]
#
# Screens: the web update's welcome, the web demo's welcome (--demo) and the
# disc welcome without a disc (--disc). Each run starts a private Xvfb
# (800x600x24) and the installer from a copy of its own in a temporary
# folder with a temporary HOME, waits for its first frame and a second more,
# and then measures over SECONDS (default 10, at least 10). RUNS rounds over
# the screens (default 5, at least 5); medians.
set -eu

. "$(dirname "$0")/common.sh"
runs=5
seconds=10
while getopts b:n:s: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    s) seconds=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-s SECONDS]" >&2; exit 2 ;;
  esac
done
[ "$runs" -ge 5 ] || runs=5
[ "$seconds" -ge 10 ] || seconds=10

need_built bench_first_frame corvane_installer
need_tools Xvfb

x_scratch idle-cpu-bench
unset LP_NUM_THREADS

# median_of FILE COLUMN: the median of one column, decimals kept.
median_of() {
  awk -v c="$2" '{ print (c == 0) ? $1 + $2 : $c }' "$1" | sort -g | awk '{ v[NR] = $1 }
    END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# measure NAME [ARG...]: one run on a fresh server; appends the program's
# and the server's percentages to $scratch/NAME.
measure() {
  name=$1
  shift
  rm -rf "${scratch:?}/app" "${scratch:?}/home" "${scratch:?}/display"
  mkdir -p "$scratch/app" "$scratch/home"
  cp "$build/corvane_installer" "$scratch/app/"
  start_xvfb
  out=$(cd "$scratch/app" && DISPLAY="$display" HOME="$scratch/home" \
    "$build/bench_first_frame" --cpu "$seconds" --server "$xvfb_pid" ./corvane_installer "$@")
  stop_xvfb
  echo "$out" | awk '/^cpu_percent/ { p = $2 } /^server_cpu_percent/ { s = $2 } END { print p, s }' >> "$scratch/$name"
}

i=0
while [ "$i" -lt "$runs" ]; do
  measure welcome
  measure demo --demo
  measure disc --disc
  i=$((i + 1))
done

printf 'idle on a static screen over %d s, medians of %d runs (Xvfb, llvmpipe at its default thread count)\n' \
  "$seconds" "$runs"
printf '%-22s %9s %9s %9s\n' screen program server together
worst=0
for name in welcome demo disc; do
  program=$(median_of "$scratch/$name" 1)
  server=$(median_of "$scratch/$name" 2)
  together=$(median_of "$scratch/$name" 0)
  printf '%-22s %8.2f%% %8.2f%% %8.2f%%\n' "$name" "$program" "$server" "$together"
  worst=$(awk -v a="$worst" -v b="$together" 'BEGIN { print (b > a) ? b : a }')
done
printf 'worst screen, program and X server together: %.2f %% of one core (target <= 5)\n' "$worst"
