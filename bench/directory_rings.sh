#!/bin/sh
# Reads and filters a directory that lists one path 20,000 times beside one
# of 20,000 different paths (bench_directory_rings) and prints both times
# and their ratio, the figure that counts: near 1 when a path listed many
# times costs what any directory of its size costs.
#
#   bench/directory_rings.sh [-b BUILD_DIR] [-n RUNS] [-f FILES] [-r REV]
#
# BUILD_DIR holds bench_directory_rings (default: build/ of the source
# tree); RUNS reads of each directory (default 5, at least 5), FILES
# records each (default 20,000). With REV, the same program built against
# the code of that revision (bench/common.sh, old_build) and this tree's
# first read only the distinct directory (REV's may read the other in a
# time that grows with the square of FILES), RUNS times each, in RUNS
# alternating pairs, the one that goes first changing from pair to pair:
# the median of the pairs' ratios (this tree/REV) is printed.
set -eu

. "$(dirname "$0")/common.sh"
runs=5
files=20000
rev=""
while getopts b:n:f:r: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    f) files=$OPTARG ;;
    r) rev=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-f FILES] [-r REV]" >&2; exit 2 ;;
  esac
done
[ "$runs" -ge 5 ] || runs=5

need_built bench_directory_rings
if [ -n "$rev" ]; then
  old_build "$rev" directory_rings
  news=""
  olds=""
  i=0
  while [ "$i" -lt "$runs" ]; do
    if [ $((i % 2)) -eq 0 ]; then
      n=$("$build/bench_directory_rings" "$files" "$runs" 0); o=$("$old/bench_directory_rings" "$files" "$runs" 0)
    else
      o=$("$old/bench_directory_rings" "$files" "$runs" 0); n=$("$build/bench_directory_rings" "$files" "$runs" 0)
    fi
    news="$news $(echo "$n" | sed 's/distinct_ns=\([0-9]*\).*/\1/')"
    olds="$olds $(echo "$o" | sed 's/distinct_ns=\([0-9]*\).*/\1/')"
    i=$((i + 1))
  done
  # shellcheck disable=SC2046,SC2086
  echo "distinct, this tree/$rev: $(median $(pair_ratios "$news" "$olds") | awk '{ printf "%.3f", $1 / 1e6 }')" \
    "(median of $runs pairs; this tree $(median $news) ns, $rev $(median $olds) ns)"
fi
echo "this tree: $("$build/bench_directory_rings" "$files" "$runs")"
