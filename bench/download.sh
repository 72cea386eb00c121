#!/bin/sh
# Compares the installer's HTTP client with curl on one large download from a
# local server.
#
#   bench/download.sh [-b BUILD_DIR] [-n RUNS] [-s MIB]
#
# BUILD_DIR holds bench_download and bench_http_serve (default: build/ of the
# source tree). A file of MIB MiB of random bytes (default 256) is made in a
# fresh folder under /tmp and served by bench_http_serve on 127.0.0.1; each
# client downloads it RUNS times (default 5), alternating, into the same
# folder; the best run of each counts. The folder is removed and the server
# stopped at the end.
set -eu

. "$(dirname "$0")/common.sh"
runs=5
mib=256
while getopts b:n:s: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    s) mib=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-s MIB]" >&2; exit 2 ;;
  esac
done

need_built bench_download bench_http_serve
need_tools curl
client="$build/bench_download"

dir=$(mktemp -d /tmp/download-bench-XXXXXX)
cleanup() {
  set +e
  stop_server
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

mkdir "$dir/www"
echo "making a $mib MiB file of random bytes"
head -c $((mib * 1048576)) /dev/urandom > "$dir/www/big.bin"
size=$(stat -c %s "$dir/www/big.bin")

start_server "$dir/www" "$dir"
url="http://127.0.0.1:$port/big.bin"

# Warm the page cache and the server.
cat "$dir/www/big.bin" > /dev/null
curl -s -o "$dir/out.curl" "$url"

best_ours=""
best_ref=""
i=0
while [ $i -lt "$runs" ]; do
  rm -f "$dir/out.ours" "$dir/out.curl"
  t=$(time_once "$client" "$port" /big.bin "$dir/out.ours")
  [ -z "$best_ours" ] || [ "$t" -lt "$best_ours" ] && best_ours=$t
  t=$(time_once curl -s -o "$dir/out.curl" "$url")
  [ -z "$best_ref" ] || [ "$t" -lt "$best_ref" ] && best_ref=$t
  i=$((i + 1))
done

if ! cmp -s "$dir/out.ours" "$dir/www/big.bin" || ! cmp -s "$dir/out.curl" "$dir/www/big.bin"; then
  echo "DOWNLOADS DIFFER FROM THE SOURCE FILE" >&2
  exit 1
fi

awk -v size="$size" -v ours="$best_ours" -v ref="$best_ref" -v runs="$runs" 'BEGIN {
  mib = size / 1048576
  printf "file: %.0f MiB, best of %d runs, both copies identical to the source\n", mib, runs
  printf "bench_download: %8.3f s  %8.1f MiB/s\n", ours / 1e9, mib / (ours / 1e9)
  printf "curl:           %8.3f s  %8.1f MiB/s\n", ref / 1e9, mib / (ref / 1e9)
  printf "ratio ours/curl (throughput): %.3f\n", ref / ours
}'
