#!/bin/sh
# Compares the headless web update (bench_web_update, four download
# streams) with curl fetching the same archives four at a time and unzip
# unpacking them.
#
#   bench/web_update.sh [-b BUILD_DIR] [-n RUNS] [-w WORK_DIR]
#
# BUILD_DIR holds bench_web_update and bench_http_serve (default: build/ of
# the source tree). The release is made once in WORK_DIR (default
# /tmp/corvane-web-update-bench) and kept for later runs: 2,000 files of
# 4 KiB to 1 MiB (about 300 MiB of base64 text, which deflates to about
# three quarters of its size) in 40 folders, each zipped alone, with the
# server list and the directory archive, laid out as an update server
# serves them. bench_http_serve serves it on 127.0.0.1. Each side then
# installs the whole release into a fresh empty Halden folder RUNS times
# (default 3), alternating; the best run of each counts. Both results are
# compared with the release before the ratio is printed.
set -eu

. "$(dirname "$0")/common.sh"
runs=3
work=/tmp/corvane-web-update-bench
while getopts b:n:w: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    w) work=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-w WORK_DIR]" >&2; exit 2 ;;
  esac
done

need_built bench_web_update bench_http_serve
need_tools curl unzip python3 xargs
prog="$build/bench_web_update"

mkdir -p "$work"
if [ ! -f "$work/done" ]; then
  echo "making the release (once): $work"
  rm -rf "$work/www" "$work/src" "$work/list"
  python3 - "$work" <<'PY'
import base64, hashlib, math, os, random, sys, zipfile
work = sys.argv[1]
rng = random.Random(9)
n, lo, hi, total_target = 2000, 4096, 1 << 20, 300 << 20
# Sizes spread evenly on a log scale, then scaled to the total wanted.
sizes = [math.exp(rng.uniform(math.log(lo), math.log(hi))) for _ in range(n)]
scale = total_target / sum(sizes)
sizes = [int(min(hi, max(lo, s * scale))) for s in sizes]
server = os.path.join(work, "www", "corvane", "v910")
lines = ["I", "900 version", "INSTALLER", "DIR Halden/"]
paths = []
for i, size in enumerate(sizes):
    rel = "Resources/bench/d%02d/f%04d.txt" % (i % 40, i)
    data = base64.b64encode(rng.randbytes(size * 3 // 4 + 3))[:size]
    src = os.path.join(work, "src", rel)
    os.makedirs(os.path.dirname(src), exist_ok=True)
    with open(src, "wb") as f:
        f.write(data)
    arc = os.path.join(server, "Halden", rel + ".zip")
    os.makedirs(os.path.dirname(arc), exist_ok=True)
    with zipfile.ZipFile(arc, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(os.path.basename(rel), data)
    kb = (os.path.getsize(arc) + 1023) // 1024
    lines.append("FILE 0 0 0 %d %d %s %s" % (kb, (size + 1023) // 1024, hashlib.md5(data).hexdigest(), rel))
    paths.append(rel)
with zipfile.ZipFile(os.path.join(server, "directory.txt.zip"), "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("directory.txt", "\n".join(lines) + "\n")
with open(os.path.join(work, "www", "serverlist9.txt"), "w") as f:
    f.write("I\n820 version\nSERVERS\nFINAL v910\nSERVER bench.example.com\n/corvane/\nBench server\nENDOFLIST\n")
with open(os.path.join(work, "list"), "w") as f:
    f.write("\n".join(paths) + "\n")
PY
  touch "$work/done"
fi

run=$(mktemp -d /tmp/web-update-bench-XXXXXX)
cleanup() {
  set +e
  stop_server
  rm -rf "$run"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

start_server "$work/www" "$run"

fresh() {
  rm -rf "$run/$1" "$run/tmp-$1"
  mkdir -p "$run/$1/Airfoils" "$run/$1/Instructions" "$run/$1/Output" "$run/$1/Resources" "$run/tmp-$1"
}

# Warm the page cache and the server.
cat "$work/www/corvane/v910/Halden/Resources/bench"/*/* > /dev/null

best_ours=""
best_ref=""
ours_line=""
i=0
while [ "$i" -lt "$runs" ]; do
  fresh ours
  t0=$(now)
  line=$("$prog" "$port" "$run/ours/" "$run/tmp-ours/" 4)
  t1=$(now)
  t=$((t1 - t0))
  echo "bench_web_update: $line"
  if [ -z "$best_ours" ] || [ "$t" -lt "$best_ours" ]; then best_ours=$t; ours_line=$line; fi

  # The baseline: the same archives, four transfers at a time, each
  # unpacked into its folder and deleted. Its folders are made untimed.
  fresh ref
  sed 's|/[^/]*$||' "$work/list" | sort -u | sed "s|^|$run/ref/|" | xargs mkdir -p
  t0=$(now)
  xargs -P4 -I{} sh -c 'n=$(echo "$1" | tr / _); curl -sf -o "$2/$n.zip" "http://127.0.0.1:$3/corvane/v910/Halden/$1.zip" && unzip -qo "$2/$n.zip" -d "$4/$(dirname "$1")" && rm "$2/$n.zip"' \
    _ {} "$run/tmp-ref" "$port" "$run/ref" < "$work/list"
  t1=$(now)
  t=$((t1 - t0))
  echo "curl + unzip:     $(awk -v t="$t" 'BEGIN { printf "%.3f s", t / 1e9 }')"
  if [ -z "$best_ref" ] || [ "$t" -lt "$best_ref" ]; then best_ref=$t; fi
  i=$((i + 1))
done

if ! diff -r "$run/ours/Resources/bench" "$work/src/Resources/bench" > /dev/null ||
   ! diff -r "$run/ref/Resources/bench" "$work/src/Resources/bench" > /dev/null; then
  echo "AN INSTALLED COPY DIFFERS FROM THE RELEASE" >&2
  exit 1
fi

mib=$(du -sm "$work/src" | cut -f1)
awk -v ours="$best_ours" -v ref="$best_ref" -v runs="$runs" -v mib="$mib" -v files="$(wc -l < "$work/list")" 'BEGIN {
  printf "release: %d files, %d MiB unpacked; best of %d runs; both copies identical to the release\n", files, mib, runs
  printf "web update (whole road, 4 streams): %8.3f s\n", ours / 1e9
  printf "curl -P4 + unzip:                   %8.3f s\n", ref / 1e9
  printf "ratio update/baseline (wall time): %.3f (target at most 1.25)\n", ours / ref
}'
