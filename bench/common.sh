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
