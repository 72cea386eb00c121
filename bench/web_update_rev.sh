#!/bin/sh
# Compares the headless web update (bench_web_update, four download
# streams, paced in 16 ms frames as the window's event loop paces it) with
# the same program built against the code of an earlier revision, on the
# mixed release of bench/web_update.sh.
#
#   bench/web_update_rev.sh [-b BUILD_DIR] [-n RUNS] [-w WORK_DIR] [-r REV] [-N NICE]
#
# BUILD_DIR holds bench_web_update and bench_http_serve (default: build/ of
# the source tree). The earlier build (REV, default f46ec93: before the
# unpacking was rewritten) is made by the script under /tmp and kept
# (bench/common.sh, old_build). The release is made once in WORK_DIR
# (default /tmp/corvane-web-update-bench) and kept: 2,000 files of mixed
# contents from 2 KiB to 12 MiB, each zipped alone (bench/common.sh,
# make_web_update_release). RUNS pairs (default 7, at least 7) alternate
# the two builds, the one that goes first changing from pair to pair, each
# into a fresh empty Halden folder; every installed copy is compared with
# the release. The medians count. Both run at the nice value NICE (default
# 5, that of the pools' threads, which the earlier revisions left at the
# caller's): on a machine busy with other work the comparison is then one
# of the code, not of the share of the machine each gets. -N 0 runs them as
# the product runs. The ratio now/REV has a target (at most 0.95) against
# the default revision only; against another it is printed without one.
set -eu

. "$(dirname "$0")/common.sh"
default_rev=f46ec93
rev=$default_rev
runs=7
level=5
work=/tmp/corvane-web-update-bench
while getopts b:n:w:r:N: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    w) work=$OPTARG ;;
    r) rev=$OPTARG ;;
    N) level=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-w WORK_DIR] [-r REV] [-N NICE]" >&2; exit 2 ;;
  esac
done
[ "$runs" -ge 7 ] || runs=7

need_built bench_web_update bench_http_serve
need_tools python3 diff
old_build "$rev" web_update
# The revision as given, with the commit it names where that reads otherwise.
commit=$(git -C "$here" rev-parse --short "$rev^{commit}")
label=$rev
[ "$commit" = "$rev" ] || label="$rev ($commit)"
target=""
if [ "$commit" = "$(git -C "$here" rev-parse --short "$default_rev^{commit}")" ]; then
  target=0.95
fi

serve_web_update_release web-update-rev-bench

# Updates a fresh copy with PROGRAM once; prints its time in nanoseconds.
# Ends the benchmark when the copy differs from the release.
update_once() {
  fresh ours
  line=$(nice -n "$level" "$1" "$port" "$run/ours/" "$run/tmp-ours/" 4 16)
  same_as_release ours
  echo "$line" | sed -n 's/.*total_ns=\([0-9]*\).*/\1/p'
}

news=""
olds=""
i=0
while [ "$i" -lt "$runs" ]; do
  if [ $((i % 2)) -eq 0 ]; then
    n=$(update_once "$build/bench_web_update"); o=$(update_once "$old/bench_web_update")
  else
    o=$(update_once "$old/bench_web_update"); n=$(update_once "$build/bench_web_update")
  fi
  echo "  pair $((i + 1)): now $(awk -v t="$n" 'BEGIN { printf "%.3f s", t / 1e9 }'), $label $(awk -v t="$o" 'BEGIN { printf "%.3f s", t / 1e9 }')"
  news="$news $n"
  olds="$olds $o"
  i=$((i + 1))
done

# shellcheck disable=SC2086
# shellcheck disable=SC2046
awk -v n="$(median $news)" -v o="$(median $olds)" -v r="$(median $(pair_ratios "$news" "$olds"))" -v runs="$runs" \
    -v rev="$label" -v target="$target" -v files="$(wc -l < "$work/list")" 'BEGIN {
  printf "web update of a mixed release of %d files, paced in 16 ms frames, medians of %d alternating pairs, every copy identical to the release\n", files, runs
  printf "  now:  %8.3f s\n", n / 1e9
  printf "  %s: %8.3f s\n", rev, o / 1e9
  printf "  ratio now/%s: %.3f; median of the pairs\047 ratios: %.3f\n", rev, n / o, r / 1e6
  if (target != "") printf "  target for now/%s: at most %s\n", rev, target
}'
