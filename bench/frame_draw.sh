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

x_scratch frame-bench
start_xvfb

unset LP_NUM_THREADS
DISPLAY="$display" LIBGL_ALWAYS_SOFTWARE=1 "$build/bench_frame_draw" "$frames"
