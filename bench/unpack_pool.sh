#!/bin/sh
# Compares the unpacking of single-file archives through an unpack pool
# (bench_unpack_pool: the web update's pool size and room, each archive
# checked to hold its one file and unpacked with the size and signature the
# directory wants) with the same program built against the code of an
# earlier revision, on each file system given.
#
#   bench/unpack_pool.sh [-b BUILD_DIR] [-n RUNS] [-w WORK_DIR] [-r REV] [-o "FOLDER..."] [-N NICE]
#
# BUILD_DIR holds bench_unpack_pool (default: build/ of the source tree). The
# earlier build (REV, default f46ec93: before the unpacking was rewritten)
# is made by the script under /tmp and kept (bench/common.sh, old_build).
# The archives are made once in WORK_DIR (default
# /tmp/corvane-unpack-pool-bench) and kept: 1,000 files of 4 to 52 KiB
# (text, random bytes and base64, as a release holds them) in 20 folders,
# each zipped alone. For each FOLDER (default: /dev/shm, a tmpfs, and
# WORK_DIR, on the disk; the file system of each is printed), RUNS pairs
# (default 7, at least 7) alternate the two builds, the one that goes first
# changing from pair to pair, each into a fresh output folder made there;
# every output is compared with the files and all are removed only once
# the pairs are done there, so that no run's file system pays for the
# removal of the one before. The medians count. Both run at
# the nice value NICE (default 5, that of the pools' threads, which the
# earlier revisions left at the caller's), so that on a machine busy with
# other work neither gets a larger share of it; -N 0 runs them as started.
set -eu

. "$(dirname "$0")/common.sh"
runs=7
work=/tmp/corvane-unpack-pool-bench
rev=f46ec93
folders=""
level=5
while getopts b:n:w:r:o:N: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    w) work=$OPTARG ;;
    r) rev=$OPTARG ;;
    o) folders=$OPTARG ;;
    N) level=$OPTARG ;;
    *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-w WORK_DIR] [-r REV] [-o \"FOLDER...\"] [-N NICE]" >&2; exit 2 ;;
  esac
done
[ "$runs" -ge 7 ] || runs=7
[ -n "$folders" ] || folders="/dev/shm $work"

need_built bench_unpack_pool
need_tools python3 diff
old_build "$rev" unpack_pool
new_prog="$build/bench_unpack_pool"
old_prog="$old/bench_unpack_pool"

mkdir -p "$work"
if [ ! -f "$work/done" ]; then
  echo "making the archives (once): $work"
  rm -rf "$work/src" "$work/zips" "$work/list"
  python3 - "$work" <<'PY'
import base64, hashlib, os, random, sys, zipfile
work = sys.argv[1]
rng = random.Random(33)
words = ("gear flap trim yaw pitch roll mach vref taxi flare runway tower heading altitude "
         "throttle mixture propeller rudder aileron elevator beacon scenery").split()
lines = []
for i in range(1000):
    size = rng.randint(4 * 1024, 52 * 1024)
    kind = rng.random()
    if kind < 0.45:
        data = " ".join(rng.choice(words) for _ in range(size // 4)).encode()[:size]
    elif kind < 0.80:
        data = rng.randbytes(size)
    else:
        data = base64.b64encode(rng.randbytes(size))[:size]
    rel = "d%02d/f%04d.dat" % (i % 20, i)
    for top in ("src", "zips"):
        os.makedirs(os.path.join(work, top, os.path.dirname(rel)), exist_ok=True)
    with open(os.path.join(work, "src", rel), "wb") as f:
        f.write(data)
    with zipfile.ZipFile(os.path.join(work, "zips", rel + ".zip"), "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(os.path.basename(rel), data)
    lines.append("%s %s %d" % (rel, hashlib.md5(data).hexdigest(), size))
with open(os.path.join(work, "list"), "w") as f:
    f.write("\n".join(lines) + "\n")
PY
  touch "$work/done"
fi
# The archives are read from the page cache.
cat "$work/zips"/*/* > /dev/null

outs=""
trap 'set +e; [ -z "$outs" ] || rm -rf "$outs"' EXIT
trap 'exit 1' INT TERM

# Runs PROGRAM once into the fresh folder $outs/NAME; prints its time in
# nanoseconds. Ends the benchmark when it fails or its output differs from
# the files.
unpack_once() {
  out="$outs/$2"
  mkdir -p "$out"
  (cd "$work/src" && find . -type d) | (cd "$out" && xargs mkdir -p)
  sync
  line=$(nice -n "$level" "$1" "$work/list" "$work/zips" "$out") || { echo "$1 FAILED: $line" >&2; exit 1; }
  diff -r -q "$out" "$work/src" > /dev/null || { echo "THE OUTPUT OF $1 DIFFERS FROM THE FILES" >&2; exit 1; }
  echo "$line" | sed -n 's/.*total_ns=\([0-9]*\).*/\1/p'
}

for parent in $folders; do
  mkdir -p "$parent"
  outs=$(mktemp -d "$parent/corvane-unpack-pool-XXXXXX")
  fs=$(stat -f -c %T "$parent")
  news=""
  olds=""
  i=0
  while [ "$i" -lt "$runs" ]; do
    if [ $((i % 2)) -eq 0 ]; then
      n=$(unpack_once "$new_prog" "now-$i"); o=$(unpack_once "$old_prog" "old-$i")
    else
      o=$(unpack_once "$old_prog" "old-$i"); n=$(unpack_once "$new_prog" "now-$i")
    fi
    echo "  $parent ($fs) pair $((i + 1)): now $(awk -v t="$n" 'BEGIN { printf "%.3f s", t / 1e9 }'), $rev $(awk -v t="$o" 'BEGIN { printf "%.3f s", t / 1e9 }')"
    news="$news $n"
    olds="$olds $o"
    i=$((i + 1))
  done
  rm -rf "$outs"
  outs=""
  # shellcheck disable=SC2086
  # shellcheck disable=SC2046
  awk -v n="$(median $news)" -v o="$(median $olds)" -v r="$(median $(pair_ratios "$news" "$olds"))" -v runs="$runs" \
      -v parent="$parent" -v fs="$fs" -v rev="$rev" 'BEGIN {
    printf "1,000 single-file archives of 4-52 KiB into %s (%s), medians of %d alternating pairs, every output checked\n", parent, fs, runs
    printf "  now:  %8.3f s\n", n / 1e9
    printf "  %s: %8.3f s\n", rev, o / 1e9
    printf "  ratio now/%s: %.3f (target at most 0.9); median of the pairs\047 ratios: %.3f\n", rev, n / o, r / 1e6
  }'
done
