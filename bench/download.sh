#!/bin/sh
# Compares the installer's HTTP client with curl on one large download from a
# local server: wall time and CPU time.
#
#   bench/download.sh [-b BUILD_DIR] [-n RUNS] [-s MIB]
#
# BUILD_DIR holds bench_download and bench_http_serve (default: build/ of the
# source tree). A file of MIB MiB of random bytes (default 256) is made in a
# fresh folder under /tmp and served by bench_http_serve on 127.0.0.1; each
# client downloads it RUNS times (default 5, at least 5), alternating, the
# one that goes first changing from run to run, into the same folder. Each run's wall time and the CPU time (user and system)
# of the client process are measured the same way for both; the medians
# count. The folder is removed and the server stopped at the end.
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
[ "$runs" -ge 5 ] || runs=5

need_built bench_download bench_http_serve
need_tools curl python3
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

ours_wall=""
ours_cpu=""
ref_wall=""
ref_cpu=""
ours_once() {
  rm -f "$dir/out.ours"
  set -- $(time_cpu "$client" "$port" /big.bin "$dir/out.ours")
  ours_wall="$ours_wall $1"
  ours_cpu="$ours_cpu $2"
  echo "  run $((i + 1)) bench_download: $(awk -v w="$1" -v c="$2" 'BEGIN { printf "%.3f s wall, %.3f s cpu", w / 1e9, c / 1e9 }')"
}
curl_once() {
  rm -f "$dir/out.curl"
  set -- $(time_cpu curl -s -o "$dir/out.curl" "$url")
  ref_wall="$ref_wall $1"
  ref_cpu="$ref_cpu $2"
  echo "  run $((i + 1)) curl:           $(awk -v w="$1" -v c="$2" 'BEGIN { printf "%.3f s wall, %.3f s cpu", w / 1e9, c / 1e9 }')"
}
i=0
while [ $i -lt "$runs" ]; do
  # Each side goes first in every other run, so neither always finds the
  # server and the page cache as the other left them.
  if [ $((i % 2)) -eq 0 ]; then
    ours_once
    curl_once
  else
    curl_once
    ours_once
  fi
  i=$((i + 1))
done

if ! cmp -s "$dir/out.ours" "$dir/www/big.bin" || ! cmp -s "$dir/out.curl" "$dir/www/big.bin"; then
  echo "DOWNLOADS DIFFER FROM THE SOURCE FILE" >&2
  exit 1
fi

# shellcheck disable=SC2086
awk -v size="$size" -v runs="$runs" \
    -v ow="$(median $ours_wall)" -v oc="$(median $ours_cpu)" \
    -v rw="$(median $ref_wall)" -v rc="$(median $ref_cpu)" 'BEGIN {
  mib = size / 1048576
  printf "file: %.0f MiB, medians of %d alternating runs, both copies identical to the source\n", mib, runs
  printf "bench_download: %8.3f s wall  %8.1f MiB/s  %8.3f s cpu\n", ow / 1e9, mib / (ow / 1e9), oc / 1e9
  printf "curl:           %8.3f s wall  %8.1f MiB/s  %8.3f s cpu\n", rw / 1e9, mib / (rw / 1e9), rc / 1e9
  printf "throughput ours/curl: %.3f (target at least 0.9)\n", rw / ow
  printf "cpu time ours/curl:   %.3f (target at most 1.2)\n", oc / rc
}'
