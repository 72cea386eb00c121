#!/bin/sh
# Compares the checksum scan of an install folder with md5sum run in parallel
# over the same files.
#
#   bench/checksum_scan.sh [-b BUILD_DIR] [-n RUNS] [-l mixed|even|small] [-p POLL_MS] [-r REMOVED] [-w WORK_DIR]
#
# BUILD_DIR holds bench_checksum_scan (default: build/ of the source tree).
# The tree is made once in WORK_DIR (default /tmp/corvane-scan-bench-LAYOUT)
# and kept for later runs: layout "mixed" (default) is 4,000 files, 2 GiB in
# all, in 40 folders: 3,990 files of 8 to 256 KiB and 10 large files of
# about 150 MiB spread over the tree; "even" is 4,000 files of about 512 KiB;
# "small" is 100,000 files of 1 to 8 KiB in 100 folders. The files are read
# twice to warm the page cache. Then, alternating RUNS times (default 5, at
# least 5):
#   the scan: bench_checksum_scan polls checksum_directory as the window's
#     frame loop does: one call, then POLL_MS milliseconds (default 16)
#     without one, until it completes; its wall time runs from the first
#     call to the completing one;
#   the baseline: find DIR -type f -print0 | xargs -0 -P$(nproc) -n K md5sum,
#     with K the number of files over four times the processors (at least
#     50), so that every processor gets several batches.
# The medians count; the longest single poll of all runs is shown, by the
# wall clock and by the CPU time of the polling thread (a poll that took
# much longer than its CPU time waited for a processor), and so is the last
# poll, the one that completes the scan (median and longest of the runs).
# With REMOVED (default 0), that many files of the tree, spread over it, are
# ones the release removes while they are still on disk, as after an update
# whose removals have not been carried out: "-l small -r 50000" gives 50,000
# such files among 100,000.
set -eu

. "$(dirname "$0")/common.sh"
runs=5
layout=mixed
poll=16
work=""
removed=0
while getopts b:n:l:p:r:w: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    l) layout=$OPTARG ;;
    p) poll=$OPTARG ;;
    r) removed=$OPTARG ;;
    w) work=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-l mixed|even|small] [-p POLL_MS] [-r REMOVED] [-w WORK_DIR]" >&2; exit 2 ;;
  esac
done
[ "$runs" -ge 5 ] || runs=5
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
files=$(wc -l < "$sums")
per_md5sum=$((files / (4 * cpus)))
[ "$per_md5sum" -ge 50 ] || per_md5sum=50

scans=""
refs=""
longest=0
longest_cpu=0
lasts=""
last_cpus=""
i=0
while [ $i -lt "$runs" ]; do
  out=$("$prog" scan "$tree/" "$sums" "$poll" "$removed")
  t=$(echo "$out" | sed -n 's/.*scan_ns=\([0-9]*\).*/\1/p')
  p=$(echo "$out" | sed -n 's/.*longest_poll_us=\([0-9]*\).*/\1/p')
  c=$(echo "$out" | sed -n 's/.*longest_poll_cpu_us=\([0-9]*\).*/\1/p')
  if [ "$c" -gt "$longest_cpu" ]; then longest_cpu=$c; fi
  lasts="$lasts $(echo "$out" | sed -n 's/.*last_poll_us=\([0-9]*\).*/\1/p')"
  last_cpus="$last_cpus $(echo "$out" | sed -n 's/.*last_poll_cpu_us=\([0-9]*\).*/\1/p')"
  echo "  scan run $((i + 1)): $out"
  scans="$scans $t"
  if [ "$p" -gt "$longest" ]; then longest=$p; fi

  t0=$(now)
  find "$tree" -type f -print0 | xargs -0 -P"$cpus" -n "$per_md5sum" md5sum > /dev/null
  t1=$(now)
  t=$((t1 - t0))
  echo "  md5sum run $((i + 1)): $t ns"
  refs="$refs $t"
  i=$((i + 1))
done

bytes=$(du -sb "$tree" | cut -f1)
# shellcheck disable=SC2086
awk -v bytes="$bytes" -v scan="$(median $scans)" -v ref="$(median $refs)" -v runs="$runs" -v longest="$longest" \
    -v longest_cpu="$longest_cpu" -v layout="$layout" -v cpus="$cpus" -v files="$files" -v poll="$poll" \
    -v per="$per_md5sum" -v removed="$removed" -v last="$(median $lasts)" -v last_cpu="$(median $last_cpus)" \
    -v last_cpu_max="$(echo $last_cpus | tr ' ' '\n' | sort -n | tail -n 1)" 'BEGIN {
  mib = bytes / 1048576
  printf "tree: %d files, %.0f MiB (%s layout), %d processors, %d ms between polls, medians of %d alternating runs, every signature agrees with md5sum\n", files, mib, layout, cpus, poll, runs
  printf "checksum_directory:             %7.3f s  %8.1f MiB/s\n", scan / 1e9, mib / (scan / 1e9)
  printf "xargs -P%d -n %d md5sum:  %7.3f s  %8.1f MiB/s\n", cpus, per, ref / 1e9, mib / (ref / 1e9)
  printf "ratio scan/md5sum (wall time): %.3f (target at most 1.0)\n", scan / ref
  printf "longest single poll: %.2f ms wall, %.2f ms of its own CPU time\n", longest / 1000, longest_cpu / 1000
  printf "last poll, %d removed files on disk: median %.2f ms wall, %.2f ms of its own CPU time (longest %.2f ms)\n", removed, last / 1000, last_cpu / 1000, last_cpu_max / 1000
}'
