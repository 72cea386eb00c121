#!/bin/sh
# Compares the file signature routine with md5sum on one large file.
#
#   bench/md5.sh [-b BUILD_DIR] [-n RUNS] [FILE]
#
# BUILD_DIR holds bench_md5 (default: build/ of the source tree). Without FILE
# a 1 GiB file of random bytes is made in /tmp and removed afterwards. The file
# is read once to warm the page cache, then each program hashes it RUNS times
# (default 5, at least 5), alternating; the medians count.
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
[ "$runs" -ge 5 ] || runs=5
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

ours=""
refs=""
i=0
while [ $i -lt "$runs" ]; do
  ours="$ours $(time_once "$prog" "$file")"
  refs="$refs $(time_once md5sum "$file")"
  i=$((i + 1))
done
ours_digest=$("$prog" "$file" | head -n 1 | cut -d' ' -f1)
ref_digest=$(md5sum "$file" | cut -d' ' -f1)

if [ "$ours_digest" != "$ref_digest" ]; then
  echo "DIGESTS DIFFER: bench_md5 $ours_digest, md5sum $ref_digest" >&2
  exit 1
fi

# shellcheck disable=SC2086
awk -v size="$size" -v ours="$(median $ours)" -v ref="$(median $refs)" -v runs="$runs" 'BEGIN {
  mib = size / 1048576
  printf "file: %.0f MiB, medians of %d alternating runs, digests agree\n", mib, runs
  printf "bench_md5: %8.3f s  %8.1f MiB/s\n", ours / 1e9, mib / (ours / 1e9)
  printf "md5sum:    %8.3f s  %8.1f MiB/s\n", ref / 1e9, mib / (ref / 1e9)
  printf "ratio ours/md5sum (throughput): %.3f\n", ref / ours
}'
