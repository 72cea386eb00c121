#!/bin/sh
# CPU used while the installer shows a static wizard screen: the program
# (every thread, Mesa's llvmpipe at its default thread count) and the X
# server together, read from /proc over SECONDS.
#
#   bench/idle_cpu.sh [-b BUILD_DIR] [-n RUNS] [-s SECONDS] [-c CPUS]
#
# Screens: the web update's welcome, the web demo's welcome (--demo), the
# disc welcome without a disc (--disc), and the options window opened from
# the web update's welcome, whose proxy field has the keyboard (its caret
# pulses). Each run starts a private Xvfb
# (800x600x24) and the installer from a copy of its own in a temporary
# folder with a temporary HOME, waits for its first frame and a second more,
# and then measures over SECONDS (default 10, at least 10). RUNS rounds over
# the screens (default 5, at least 5); medians. With -c the whole run (the X
# server too) may use only the first CPUS processors, as on a smaller
# machine; Mesa's llvmpipe starts one thread per processor it may use, and
# each frame it draws wakes them all.
set -eu

. "$(dirname "$0")/common.sh"
runs=5
seconds=10
cpus=
while getopts b:n:s:c: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    s) seconds=$OPTARG ;;
    c) cpus=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-s SECONDS] [-c CPUS]" >&2; exit 2 ;;
  esac
done
if [ -n "$cpus" ] && [ -z "${IDLE_CPU_PINNED:-}" ]; then
  IDLE_CPU_PINNED=1 exec taskset -c "0-$((cpus - 1))" "$0" "$@"
fi
[ "$runs" -ge 5 ] || runs=5
[ "$seconds" -ge 10 ] || seconds=10

need_built bench_first_frame corvane_installer
need_tools Xvfb xdotool

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

# ticks PID: the CPU time of a process and all its threads, in clock ticks.
ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }

# measure_field: one run on a fresh server with the options window open
# (clicked with xdotool), measured as measure does.
measure_field() {
  rm -rf "${scratch:?}/app" "${scratch:?}/home" "${scratch:?}/display"
  mkdir -p "$scratch/app" "$scratch/home"
  cp "$build/corvane_installer" "$scratch/app/"
  start_xvfb
  (cd "$scratch/app" && DISPLAY="$display" HOME="$scratch/home" exec ./corvane_installer > /dev/null 2>&1) &
  app=$!
  DISPLAY="$display" xdotool search --sync --name '^Halden$' > /dev/null
  # The welcome screen's frame is up well within this on a busy machine.
  sleep 3
  DISPLAY="$display" xdotool mousemove 145 577 sleep 0.2 mousedown 1 sleep 0.15 mouseup 1 sleep 0.5 \
    mousemove 400 40
  sleep 1
  hz=$(getconf CLK_TCK)
  p0=$(ticks "$app"); s0=$(ticks "$xvfb_pid"); w0=$(date +%s%N)
  sleep "$seconds"
  p1=$(ticks "$app"); s1=$(ticks "$xvfb_pid"); w1=$(date +%s%N)
  kill "$app" 2> /dev/null || true
  wait "$app" 2> /dev/null || true
  stop_xvfb
  awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v w=$((w1 - w0)) -v hz="$hz" \
    'BEGIN { printf "%.2f %.2f\n", 100 * p / hz / (w / 1e9), 100 * s / hz / (w / 1e9) }' >> "$scratch/field"
}

i=0
while [ "$i" -lt "$runs" ]; do
  measure welcome
  measure demo --demo
  measure disc --disc
  measure_field
  i=$((i + 1))
done

printf 'idle on a static screen over %d s, medians of %d runs (Xvfb, llvmpipe at its default thread count, %s processors)\n' \
  "$seconds" "$runs" "$(nproc)"
printf '%-22s %9s %9s %9s\n' screen program server together
worst=0
for name in welcome demo disc field; do
  program=$(median_of "$scratch/$name" 1)
  server=$(median_of "$scratch/$name" 2)
  together=$(median_of "$scratch/$name" 0)
  printf '%-22s %8.2f%% %8.2f%% %8.2f%%\n' "$name" "$program" "$server" "$together"
  [ "$name" = field ] || worst=$(awk -v a="$worst" -v b="$together" 'BEGIN { print (b > a) ? b : a }')
done
printf 'worst static screen, program and X server together: %.2f %% of one core (target <= 2)\n' "$worst"
printf 'focused text field (field), program and X server together: %.2f %% of one core (target <= 3)\n' \
  "$(median_of "$scratch/field" 0)"
