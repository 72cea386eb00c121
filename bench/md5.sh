#!/bin/sh
# Compares the file signature routine with md5sum on one large file.
#
#   bench/md5.sh [-b BUILD_DIR] [-n RUNS] [FILE]
#
# BUILD_DIR holds bench_md5 (default: build/ of the source tree). Without FILE
# a 1 GiB file of random bytes is made in /tmp and removed afterwards. The file
# is read once to warm the page cache, then each program hashes it RUNS times
# (default 5), alternating; the best run of each counts.
set -eu

. "$(dirname "$0")/common.sh"
runs=5
while getopts b:n: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [FILE]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

need_built bench_md5
prog="$build/bench_md5"

made=""
if [ $# -ge 1 ]; then
  file=$1
else
  file=$(mktemp /tmp/md5-bench-XXXXXX)
  made=$file
  trap 'rm -f "$made"' EXIT INT TERM
  echo "making a 1 GiB file of random bytes: $file"
  head -c 1073741824 /dev/urandom > "$file"
fi
size=$(stat -c %s "$file")

# Warm the page cache so both programs read from memory.
cat "$file" > /dev/null
cat "$file" > /dev/null

best_ours=""
best_ref=""
i=0
while [ $i -lt "$runs" ]; do
  t=$(time_once "$prog" "$file")
  if [ -z "$best_ours" ] || [ "$t" -lt "$best_ours" ]; then best_ours=$t; fi
  t=$(time_once md5sum "$file")
  if [ -z "$best_ref" ] || [ "$t" -lt "$best_ref" ]; then best_ref=$t; fi
  i=$((i + 1))
done
ours_digest=$("$prog" "$file" | head -n 1 | cut -d' ' -f1)
ref_digest=$(md5sum "$file" | cut -d' ' -f1)

if [ "$ours_digest" != "$ref_digest" ]; then
  echo "DIGESTS DIFFER: bench_md5 $ours_digest, md5sum $ref_digest" >&2
  exit 1
fi

awk -v size="$size" -v ours="$best_ours" -v ref="$best_ref" -v runs="$runs" 'BEGIN {
  mib = size / 1048576
  printf "file: %.0f MiB, best of %d runs, digests agree\n", mib, runs
  printf "bench_md5: %8.3f s  %8.1f MiB/s\n", ours / 1e9, mib / (ours / 1e9)
  printf "md5sum:    %8.3f s  %8.1f MiB/s\n", ref / 1e9, mib / (ref / 1e9)
  printf "ratio ours/md5sum (throughput): %.3f\n", ref / ours
}'
