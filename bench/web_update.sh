#!/bin/sh
# Compares the headless web update (bench_web_update, four download
# streams) with the strongest fair peer made of common tools: one curl
# fetching every archive four at a time, then unzip on every processor.
#
#   bench/web_update.sh [-b BUILD_DIR] [-n RUNS] [-w WORK_DIR]
#
# BUILD_DIR holds bench_web_update and bench_http_serve (default: build/ of
# the source tree). The release is made once in WORK_DIR (default
# /tmp/corvane-web-update-bench) and kept for later runs: 2,000 files of
# mixed contents (text, random bytes, base64) from 2 KiB to 12 MiB, about
# 250 MiB in all, in 40 folders, each zipped alone, with the
# server list and the directory archive, laid out as an update server
# serves them. bench_http_serve serves it on 127.0.0.1. Then, alternating
# RUNS times (default 5, at least 5), each into a fresh empty Halden folder:
#   the update paced as the window's event loop paces it: each pass waits
#     on the display for what is left of a 16 ms frame since the last wait
#     ended (no wait after a pass that took the whole frame); its whole
#     road, from the first pass of the
#     directory fetch to the pass that installs the last file;
#   the same update with the passes back to back;
#   the peer, timed whole: curl --parallel --parallel-max 4 fetching every
#     archive, then xargs -P$(nproc) unzip unpacking them into their
#     folders, then the archives removed (its folders and curl's list of
#     addresses are made before the clock starts).
# The medians count. Every installed copy is compared with the release.
set -eu

. "$(dirname "$0")/common.sh"
web_update_bench_options "$@"

need_built bench_web_update bench_http_serve
need_tools curl unzip python3 xargs
prog="$build/bench_web_update"

serve_web_update_release web-update-bench

cpus=$(nproc)
# The peer's address list for curl, and its list of unpackings: archive,
# "-d", folder.
: > "$run/curl.cfg"
: > "$run/unzip.list"
n=0
while read -r rel; do
  name=$(printf 'a%04d.zip' "$n")
  printf 'url = "http://127.0.0.1:%s/corvane/v910/Halden/%s.zip"\noutput = "%s/tmp-ref/%s"\n' \
    "$port" "$rel" "$run" "$name" >> "$run/curl.cfg"
  printf '%s/tmp-ref/%s -d %s/ref/%s\n' "$run" "$name" "$run" "${rel%/*}" >> "$run/unzip.list"
  n=$((n + 1))
done < "$work/list"

ours16=""
ours0=""
refs=""
i=0
while [ "$i" -lt "$runs" ]; do
  for wait in 16 0; do
    fresh ours
    line=$("$prog" "$port" "$run/ours/" "$run/tmp-ours/" 4 "$wait")
    echo "  run $((i + 1)) update, $wait ms frames: $line"
    t=$(echo "$line" | sed -n 's/.*total_ns=\([0-9]*\).*/\1/p')
    if [ "$wait" = 16 ]; then ours16="$ours16 $t"; else ours0="$ours0 $t"; fi
    if [ "$i" -eq 0 ] && [ "$wait" = 16 ]; then
      same_as_release ours
    fi
  done

  fresh ref
  sed 's|/[^/]*$||' "$work/list" | sort -u | sed "s|^|$run/ref/|" | xargs mkdir -p
  t0=$(now)
  curl -sSf --no-progress-meter --parallel --parallel-max 4 -K "$run/curl.cfg"
  xargs -P"$cpus" -n 3 unzip -qo < "$run/unzip.list"
  rm -rf "$run/tmp-ref"
  t1=$(now)
  t=$((t1 - t0))
  echo "  run $((i + 1)) curl --parallel-max 4 + xargs -P$cpus unzip: $(awk -v t="$t" 'BEGIN { printf "%.3f s", t / 1e9 }')"
  refs="$refs $t"
  i=$((i + 1))
done

if ! diff -r "$run/ours/Resources/bench" "$work/src/Resources/bench" > /dev/null ||
   ! diff -r "$run/ref/Resources/bench" "$work/src/Resources/bench" > /dev/null; then
  echo "AN INSTALLED COPY DIFFERS FROM THE RELEASE" >&2
  exit 1
fi

mib=$(du -sm "$work/src" | cut -f1)
packed=$(du -sm "$work/www" | cut -f1)
# shellcheck disable=SC2086
awk -v o16="$(median $ours16)" -v o0="$(median $ours0)" -v ref="$(median $refs)" -v runs="$runs" -v mib="$mib" \
    -v packed="$packed" -v files="$(wc -l < "$work/list")" -v cpus="$cpus" 'BEGIN {
  printf "release: %d files, %d MiB packed, %d MiB unpacked; medians of %d alternating runs; every copy identical to the release\n", files, packed, mib, runs
  printf "web update, paced in 16 ms frames:       %8.3f s\n", o16 / 1e9
  printf "web update, passes back to back:         %8.3f s\n", o0 / 1e9
  printf "curl --parallel-max 4 + xargs -P%d unzip: %8.3f s\n", cpus, ref / 1e9
  printf "ratio update/peer in 16 ms frames: %.3f (target at most 0.9)\n", o16 / ref
  printf "ratio update/peer back to back:   %.3f\n", o0 / ref
}'
