#!/bin/sh
# CPU time of the whole process per wizard frame under Mesa's llvmpipe at
# its default thread count, on a private Xvfb: drawn through the frame list
# where it changed and whole, drawn straight to GL as before, and unchanged
# (not drawn).
#
#   bench/frame_draw.sh [-b BUILD_DIR] [-n FRAMES]
set -eu

. "$(dirname "$0")/common.sh"
frames=1000
while getopts b:n: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) frames=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n FRAMES]" >&2; exit 2 ;;
  esac
done
need_built bench_frame_draw
need_tools Xvfb

scratch=$(mktemp -d /tmp/frame-bench-XXXXXX)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null && wait "$xvfb_pid" 2> /dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT INT TERM

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3> "$scratch/display" 2> /dev/null &
xvfb_pid=$!
i=0
while [ ! -s "$scratch/display" ] && [ $i -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
[ -s "$scratch/display" ] || { echo "Xvfb did not start" >&2; exit 1; }

unset LP_NUM_THREADS
DISPLAY=":$(head -n 1 "$scratch/display")" LIBGL_ALWAYS_SOFTWARE=1 "$build/bench_frame_draw" "$frames"
