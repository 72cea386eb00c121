#!/bin/sh
# Compares zip extraction by zip_to_file, taking each file's signature as it
# is written (as the installs do), with the unzip tool and with bsdtar.
#
#   bench/unzip.sh [-b BUILD_DIR] [-n RUNS] [-w WORK_DIR]
#
# BUILD_DIR holds bench_unzip (default: build/ of the source tree). The test
# archive is made once in WORK_DIR (default /tmp/corvane-unzip-bench) and kept
# for later runs: one 200 MiB file of base64 text (deflates to about three
# quarters of its size) and 2,000 small files of 4 to 52 KiB (about 56 MiB)
# in 20 folders, zipped with zip. Each program then unpacks it RUNS times
# (default 5, at least 5) into a fresh folder, alternating, and the one that
# goes first changes from run to run; the medians count. A reference, with
# no target: the installer's own archives each hold one file, and
# bench/unpack_pool.sh measures those.
set -eu

. "$(dirname "$0")/common.sh"
runs=5
work=/tmp/corvane-unzip-bench
while getopts b:n:w: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    w) work=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-w WORK_DIR]" >&2; exit 2 ;;
  esac
done
[ "$runs" -ge 5 ] || runs=5

need_built bench_unzip
need_tools zip unzip bsdtar python3
prog="$build/bench_unzip"

mkdir -p "$work"
archive="$work/bench.zip"
if [ ! -f "$archive" ]; then
  echo "making the test archive (once): $archive"
  rm -rf "$work/src"
  mkdir -p "$work/src"
  head -c 157286400 /dev/urandom | base64 -w 76 > "$work/src/large.txt"
  python3 - "$work/src" <<'PY'
import os, random, sys
random.seed(9)
words = [b"gear", b"flap", b"trim", b"yaw", b"pitch", b"roll", b"mach", b"vref", b"taxi", b"flare"]
root = sys.argv[1]
for i in range(2000):
    folder = os.path.join(root, "small%02d" % (i % 20))
    os.makedirs(folder, exist_ok=True)
    size = random.randint(4 * 1024, 52 * 1024)
    # Half text, half random bytes: neither free to inflate nor stored.
    text = b" ".join(random.choice(words) for _ in range(size // 8))
    data = (text[: size // 2] + os.urandom(size))[:size]
    with open(os.path.join(folder, "f%04d.dat" % i), "wb") as f:
        f.write(data)
PY
  (cd "$work/src" && zip -q -r "$archive.part" .)
  mv "$archive.part" "$archive"
  rm -rf "$work/src"
fi
size=$(stat -c %s "$archive")
unpacked=$(unzip -Z -t "$archive" | awk '{print $3}')

# Warm the page cache so both programs read the archive from memory.
cat "$archive" > /dev/null

out="$work/out"

# Unpacks once into a fresh folder; prints the wall time in nanoseconds.
unpack_once() {
  rm -rf "$out"
  mkdir "$out"
  sync
  t0=$(now)
  "$@" > "$work/last.txt"
  t1=$(now)
  echo $((t1 - t0))
}

ours=""
unzips=""
tars=""
peak=0
ours_once() {
  t=$(unpack_once "$prog" "$archive" "$out/")
  ours="$ours $t"
  p=$(awk '/^peak/ {print $2}' "$work/last.txt")
  if [ "$p" -gt "$peak" ]; then peak=$p; fi
}
unzip_once() { unzips="$unzips $(unpack_once unzip -o -q "$archive" -d "$out")"; }
bsdtar_once() { tars="$tars $(unpack_once bsdtar -x -f "$archive" -C "$out")"; }
i=0
while [ $i -lt "$runs" ]; do
  # Each program in turn goes first, so none always finds the page cache
  # and the disk in the state another left them in.
  case $((i % 3)) in
    0) ours_once; unzip_once; bsdtar_once ;;
    1) unzip_once; bsdtar_once; ours_once ;;
    2) bsdtar_once; ours_once; unzip_once ;;
  esac
  i=$((i + 1))
done

# The last of our runs must have produced what unzip and bsdtar produce.
rm -rf "$out" "$out.ref" "$out.tar"
mkdir "$out" "$out.ref" "$out.tar"
"$prog" "$archive" "$out/" > /dev/null
unzip -o -q "$archive" -d "$out.ref"
bsdtar -x -f "$archive" -C "$out.tar"
if ! diff -r -q "$out" "$out.ref" > /dev/null || ! diff -r -q "$out" "$out.tar" > /dev/null; then
  echo "OUTPUTS DIFFER between bench_unzip, unzip and bsdtar" >&2
  exit 1
fi
rm -rf "$out" "$out.ref" "$out.tar"

# shellcheck disable=SC2086
awk -v size="$size" -v unpacked="$unpacked" -v ours="$(median $ours)" -v unz="$(median $unzips)" \
    -v tar="$(median $tars)" -v runs="$runs" -v peak="$peak" 'BEGIN {
  mib = unpacked / 1048576
  printf "archive: %.0f MiB packed, %.0f MiB unpacked, medians of %d alternating runs, outputs agree\n", size / 1048576, mib, runs
  printf "bench_unzip: %8.3f s  %8.1f MiB/s\n", ours / 1e9, mib / (ours / 1e9)
  printf "unzip:       %8.3f s  %8.1f MiB/s\n", unz / 1e9, mib / (unz / 1e9)
  printf "bsdtar:      %8.3f s  %8.1f MiB/s\n", tar / 1e9, mib / (tar / 1e9)
  printf "ratio our_time/bsdtar_time: %.3f\n", ours / tar
  printf "ratio our_time/unzip_time:  %.3f\n", ours / unz
  printf "peak memory of bench_unzip: %.1f MiB\n", peak / 1024
}'
