# Shared by the benchmark scripts, which source it after `set -eu`.

here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"

# need_built PROGRAM...: each program must have been built in $build.
need_built() {
  # Made absolute, so that a script may change folder after this.
  build=$(cd "$build" 2> /dev/null && pwd) || { echo "no build folder" >&2; exit 2; }
  for p in "$@"; do
    if [ ! -x "$build/$p" ]; then
      echo "$build/$p not found: build the project first (cmake --build $build)" >&2
      exit 2
    fi
  done
}

# x_scratch NAME: a scratch folder $scratch (/tmp/NAME-XXXXXX) for a
# benchmark that runs a private X server; the server (start_xvfb) and the
# folder go at the end.
x_scratch() {
  scratch=$(mktemp -d "/tmp/$1-XXXXXX")
  xvfb_pid=""
  trap 'set +e; stop_xvfb; rm -rf "$scratch"' EXIT
  trap 'exit 1' INT TERM
}

# start_xvfb: a private Xvfb (800x600x24) on the display it picks, $display;
# its pid is $xvfb_pid.
start_xvfb() {
  rm -f "$scratch/display"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -wr 3> "$scratch/display" 2> /dev/null &
  xvfb_pid=$!
  xvfb_tries=0
  while [ ! -s "$scratch/display" ] && [ $xvfb_tries -lt 200 ]; do sleep 0.05; xvfb_tries=$((xvfb_tries + 1)); done
  [ -s "$scratch/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
  display=":$(head -n 1 "$scratch/display")"
}

stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2> /dev/null || true
    wait "$xvfb_pid" 2> /dev/null || true
    xvfb_pid=""
  fi
}

# need_tools TOOL...: each tool must be on the PATH.
need_tools() {
  for t in "$@"; do
    command -v "$t" > /dev/null || { echo "$t is needed" >&2; exit 2; }
  done
}

now() { date +%s%N; }

# Runs a command once, output thrown away; prints its wall time in
# nanoseconds.
time_once() {
  t0=$(now)
  "$@" > /dev/null
  t1=$(now)
  echo $((t1 - t0))
}

# start_server ROOT SCRATCH: serves ROOT with bench_http_serve on 127.0.0.1
# and sets port; stop_server ends it.
server_pid=""
start_server() {
  "$build/bench_http_serve" "$1" > "$2/port" &
  server_pid=$!
  i=0
  while [ ! -s "$2/port" ] && [ $i -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
  port=$(head -n 1 "$2/port")
  [ -n "$port" ] || { echo "server did not start" >&2; exit 1; }
}
stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2> /dev/null
    wait "$server_pid" 2> /dev/null
    server_pid=""
  fi
}

# Runs a command once, output thrown away; prints its wall time and the CPU
# time (user and system) that it and the processes it waited for used, both
# in nanoseconds, on one line. Fails when the command fails.
time_cpu() {
  python3 -c '
import resource, subprocess, sys, time
before = resource.getrusage(resource.RUSAGE_CHILDREN)
t0 = time.monotonic_ns()
rc = subprocess.call(sys.argv[1:], stdout=subprocess.DEVNULL)
t1 = time.monotonic_ns()
after = resource.getrusage(resource.RUSAGE_CHILDREN)
cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
print(t1 - t0, int(cpu * 1e9))
sys.exit(rc)
' "$@"
}

# median VALUE...: the median of the numbers (the mean of the middle two
# for an even count).
median() {
  printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 }
    END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.0f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The options of the web-update benchmarks: -b BUILD_DIR, -n RUNS (at
# least 5, the default), -w WORK_DIR (where the release is made and kept).
# Sets build, runs and work.
web_update_bench_options() {
  runs=5
  work=/tmp/corvane-web-update-bench
  while getopts b:n:w: opt; do
    case $opt in
      b) build=$OPTARG ;;
      n) runs=$OPTARG ;;
      w) work=$OPTARG ;;
      *) echo "usage: $0 [-b BUILD_DIR] [-n RUNS] [-w WORK_DIR]" >&2; exit 2 ;;
    esac
  done
  [ "$runs" -ge 5 ] || runs=5
}

# make_web_update_release WORK_DIR: the release of the web-update
# benchmarks, made once in WORK_DIR and kept for later runs: 2,000 files of
# mixed contents, as a release of the simulator holds them (about 45 % text,
# 35 % random bytes, 20 % base64), from 2 KiB to 12 MiB and about 250 MiB in
# all, in 40 folders, each zipped alone, with the server list and the
# directory archive as an update server serves them under WORK_DIR/www, the
# files themselves under WORK_DIR/src and their paths in WORK_DIR/list.
make_web_update_release() {
  work=$1
  mkdir -p "$work"
  if [ ! -f "$work/done-mixed" ]; then
    echo "making the release (once): $work"
    rm -rf "$work/www" "$work/src" "$work/list" "$work/done"
    python3 - "$work" <<'PY'
import base64, hashlib, math, os, random, sys, zipfile
work = sys.argv[1]
rng = random.Random(9)
# Most files small, spread evenly on a log scale from 2 KiB to 512 KiB; a
# few large ones from 2 to 12 MiB.
sizes = [int(math.exp(rng.uniform(math.log(2048), math.log(512 << 10)))) for _ in range(1988)]
sizes += [rng.randrange(2 << 20, 12 << 20) for _ in range(12)]
rng.shuffle(sizes)
words = ("the of and to in is that for it as with was on be by this are from at or an which have not "
         "aircraft wing lift drag engine throttle flap rudder aileron elevator runway approach tower "
         "altitude heading airspeed pressure temperature fuel mixture propeller turbine glide slope "
         "scenery tile airport taxiway beacon navigation frequency panel instrument gauge weather").split()
def text(size):
    out, n = [], 0
    while n < size:
        line = " ".join(rng.choices(words, k=rng.randrange(6, 16))) + ".\n"
        out.append(line)
        n += len(line)
    return "".join(out).encode()[:size]
server = os.path.join(work, "www", "corvane", "v910")
lines = ["I", "900 version", "INSTALLER", "DIR Halden/"]
paths = []
for i, size in enumerate(sizes):
    kind = rng.random()
    if kind < 0.45:
        data, ext = text(size), "txt"
    elif kind < 0.80:
        data, ext = rng.randbytes(size), "bin"
    else:
        data, ext = base64.b64encode(rng.randbytes(size * 3 // 4 + 3))[:size], "b64"
    rel = "Resources/bench/d%02d/f%04d.%s" % (i % 40, i, ext)
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
    touch "$work/done-mixed"
  fi
}

# serve_web_update_release NAME: the release of make_web_update_release in
# $work, served by bench_http_serve (port set) from a fresh scratch folder
# $run named after NAME; the server and the folder go at the end. The
# archives are read once first, so that the page cache holds them.
serve_web_update_release() {
  make_web_update_release "$work"
  run=$(mktemp -d "/tmp/$1-XXXXXX")
  trap 'set +e; stop_server; rm -rf "$run"' EXIT
  trap 'exit 1' INT TERM
  start_server "$work/www" "$run"
  cat "$work/www/corvane/v910/Halden/Resources/bench"/*/* > /dev/null
}

# fresh NAME: $run/NAME, a copy of the simulator's four folders without
# files, and its temporary folder $run/tmp-NAME, both new.
fresh() {
  rm -rf "$run/$1" "$run/tmp-$1"
  mkdir -p "$run/$1/Airfoils" "$run/$1/Instructions" "$run/$1/Output" "$run/$1/Resources" "$run/tmp-$1"
}

# same_as_release NAME: ends the benchmark when the copy $run/NAME differs
# from the release.
same_as_release() {
  diff -r "$run/$1/Resources/bench" "$work/src/Resources/bench" > /dev/null ||
    { echo "THE UPDATED COPY DIFFERS FROM THE RELEASE" >&2; exit 1; }
}

# old_build REV PROGRAM...: builds each bench program (from this tree's
# bench/PROGRAM.cpp) against the library of commit REV, in a folder of its
# own under /tmp that is kept for later runs (only what changed is built
# again); sets old to that build folder. The tree of REV comes from git
# archive; its own tests are not built. The programs see
# CORVANE_BENCH_OLD_TREE defined, for what that tree names otherwise.
old_build() {
  old_rev=$1
  shift
  old_src="/tmp/corvane-bench-old-$old_rev"
  if [ ! -f "$old_src/.unpacked" ]; then
    rm -rf "$old_src"
    mkdir -p "$old_src"
    git -C "$here" archive "$old_rev" | tar -x -C "$old_src"
    touch "$old_src/.unpacked"
  fi
  for p in "$@"; do
    cmp -s "$here/bench/$p.cpp" "$old_src/bench/$p.cpp" || cp "$here/bench/$p.cpp" "$old_src/bench/$p.cpp"
  done
  launcher=""
  if command -v ccache > /dev/null; then
    launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
  fi
  # shellcheck disable=SC2086
  cmake -S "$old_src" -B "$old_src/build" -G Ninja -DCORVANE_TESTS=OFF -DCMAKE_CXX_FLAGS=-DCORVANE_BENCH_OLD_TREE \
    $launcher > /dev/null
  for p in "$@"; do
    cmake --build "$old_src/build" --target "bench_$p" -- -j3 > "$old_src/build-$p.log" 2>&1 ||
      { cat "$old_src/build-$p.log" >&2; echo "the build of bench_$p at $old_rev failed" >&2; exit 2; }
  done
  old="$old_src/build"
}

# pair_ratios A_LIST B_LIST: the ratio a/b of each pair of the two lists of
# numbers (same length, in the same order) in millionths, one a line (whole
# numbers, for median).
pair_ratios() {
  # shellcheck disable=SC2086
  printf '%s\n' $1 > "${TMPDIR:-/tmp}/pair-a.$$"
  # shellcheck disable=SC2086
  printf '%s\n' $2 | paste -d ' ' "${TMPDIR:-/tmp}/pair-a.$$" - | awk '{ printf "%.0f\n", 1e6 * $1 / $2 }'
  rm -f "${TMPDIR:-/tmp}/pair-a.$$"
}
