#!/bin/sh
# Compares the checksum scan of an install folder with md5sum run in parallel
# over the same files.
#
#   bench/checksum_scan.sh [-b BUILD_DIR] [-n RUNS] [-l mixed|even] [-w WORK_DIR]
#
# BUILD_DIR holds bench_checksum_scan (default: build/ of the source tree).
# The tree is made once in WORK_DIR (default /tmp/corvane-scan-bench-LAYOUT)
# and kept for later runs: 4,000 files, 2 GiB in all, in 40 folders; layout
# "mixed" (default) is 3,990 files of 8 to 256 KiB and 10 large files of
# about 150 MiB spread over the tree, "even" is 4,000 files of about 512 KiB.
# The files are read twice to warm the page cache. Then, alternating RUNS
# times (default 5):
#   the scan: bench_checksum_scan polls checksum_directory as a frame loop
#     does (one call, then a 1 ms sleep) until it completes; its wall time
#     runs from the first call to the completing one;
#   the baseline: find DIR -type f -print0 | xargs -0 -P$(nproc) -n 50 md5sum
# The best run of each counts; the longest single poll of all runs is shown,
# by the wall clock and by the CPU time of the polling thread (a poll that
# took much longer than its CPU time waited for a processor).
set -eu

. "$(dirname "$0")/common.sh"
runs=5
layout=mixed
work=""
while getopts b:n:l:w: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    l) layout=$OPTARG ;;
    w) work=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-l mixed|even] [-w WORK_DIR]" >&2; exit 2 ;;
  esac
done
[ -n "$work" ] || work=/tmp/corvane-scan-bench-$layout

need_built bench_checksum_scan
prog="$build/bench_checksum_scan"

tree="$work/tree"
sums="$work/sums.txt"
if [ ! -f "$sums" ]; then
  rm -rf "$work"
  mkdir -p "$tree"
  echo "making the tree in $tree"
  "$prog" make "$tree" "$layout"
  (cd "$tree" && find . -type f -print0 | sort -z | xargs -0 md5sum) > "$sums.part"
  mv "$sums.part" "$sums"
fi

# Warm the page cache so both sides read from memory.
find "$tree" -type f -print0 | xargs -0 cat > /dev/null
find "$tree" -type f -print0 | xargs -0 cat > /dev/null

cpus=$(nproc)

best_scan=""
best_ref=""
longest=0
longest_cpu=0
i=0
while [ $i -lt "$runs" ]; do
  out=$("$prog" scan "$tree/" "$sums")
  t=$(echo "$out" | sed -n 's/.*scan_ns=\([0-9]*\).*/\1/p')
  p=$(echo "$out" | sed -n 's/.*longest_poll_us=\([0-9]*\).*/\1/p')
  c=$(echo "$out" | sed -n 's/.*longest_poll_cpu_us=\([0-9]*\).*/\1/p')
  if [ "$c" -gt "$longest_cpu" ]; then longest_cpu=$c; fi
  echo "  scan run $((i + 1)): $out"
  if [ -z "$best_scan" ] || [ "$t" -lt "$best_scan" ]; then best_scan=$t; fi
  if [ "$p" -gt "$longest" ]; then longest=$p; fi

  t0=$(now)
  find "$tree" -type f -print0 | xargs -0 -P"$cpus" -n 50 md5sum > /dev/null
  t1=$(now)
  t=$((t1 - t0))
  echo "  md5sum run $((i + 1)): $t ns"
  if [ -z "$best_ref" ] || [ "$t" -lt "$best_ref" ]; then best_ref=$t; fi
  i=$((i + 1))
done

bytes=$(du -sb "$tree" | cut -f1)
awk -v bytes="$bytes" -v scan="$best_scan" -v ref="$best_ref" -v runs="$runs" -v longest="$longest" -v longest_cpu="$longest_cpu" \
    -v layout="$layout" -v cpus="$cpus" 'BEGIN {
  mib = bytes / 1048576
  printf "tree: 4000 files, %.0f MiB (%s layout), %d processors, best of %d runs, every signature agrees with md5sum\n", mib, layout, cpus, runs
  printf "checksum_directory:      %7.3f s  %8.1f MiB/s\n", scan / 1e9, mib / (scan / 1e9)
  printf "xargs -P%d md5sum:        %7.3f s  %8.1f MiB/s\n", cpus, ref / 1e9, mib / (ref / 1e9)
  printf "ratio scan/md5sum (wall time): %.3f (target at most 1.25)\n", scan / ref
  printf "longest single poll: %.2f ms wall, %.2f ms of its own CPU time (target at most 5 ms)\n", longest / 1000, longest_cpu / 1000
}'
