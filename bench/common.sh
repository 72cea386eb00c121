# Shared by the benchmark scripts, which source it after `set -eu`.

here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build"

# need_built PROGRAM...: each program must have been built in $build.
need_built() {
  for p in "$@"; do
    if [ ! -x "$build/$p" ]; then
      echo "$build/$p not found: build the project first (cmake --build $build)" >&2
      exit 2
    fi
  done
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
