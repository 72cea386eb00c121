#!/bin/sh
# The web update clicked through the installer's window against the same
# update run headless, on the same release in the same run.
#
#   bench/web_update_window.sh [-b BUILD_DIR] [-n RUNS] [-w WORK_DIR]
#
# The release is the web-update benchmark's (2,000 files of mixed contents;
# made once in WORK_DIR, default /tmp/corvane-web-update-bench, and kept),
# served by bench_http_serve on 127.0.0.1. Then, alternating RUNS times
# (default 5, at least 5), each into a fresh copy folder (the simulator's
# four folders, no files) and with four fixed download streams:
#   the window: bench_web_update_window starts a private Xvfb and the
#     installer with "-path" on the folder, clicks Next on the welcome
#     screen and on the disk-space check, and times the road (search, scan,
#     install) without the pause on the disk-space check; it also reads the
#     installer's peak resident memory at the finish screen;
#   headless: bench_web_update on the same road, paced in 16 ms frames as
#     the window's event loop paces its passes (the wait counted from the
#     end of the last wait, none after a pass that took the whole frame),
#     and with the passes back to back.
# The window's time is divided by the paced headless time.
# The medians count. Every installed copy is compared with the release.
set -eu

. "$(dirname "$0")/common.sh"
web_update_bench_options "$@"

need_built bench_web_update bench_web_update_window bench_http_serve corvane_installer
need_tools Xvfb python3

serve_web_update_release web-update-window-bench

windows=""
rss=""
heads16=""
heads0=""
i=0
window_once() {
  fresh win
  line=$("$build/bench_web_update_window" "$port" "$run/win/")
  echo "  run $((i + 1)) window:                 $line"
  windows="$windows $(echo "$line" | sed -n 's/.*total_ns=\([0-9]*\).*/\1/p')"
  rss="$rss $(echo "$line" | sed -n 's/.*peak_rss_kb=\([0-9]*\).*/\1/p')"
  same_as_release win
}
headless_once() {
  for wait in 16 0; do
    fresh head
    line=$("$build/bench_web_update" "$port" "$run/head/" "$run/tmp-head/" 4 "$wait")
    echo "  run $((i + 1)) headless, $wait ms frames: $line"
    t=$(echo "$line" | sed -n 's/.*total_ns=\([0-9]*\).*/\1/p')
    if [ "$wait" = 16 ]; then heads16="$heads16 $t"; else heads0="$heads0 $t"; fi
    same_as_release head
  done
}
while [ "$i" -lt "$runs" ]; do
  # The window and the headless runs take turns going first.
  if [ $((i % 2)) -eq 0 ]; then
    window_once
    headless_once
  else
    headless_once
    window_once
  fi
  i=$((i + 1))
done

# shellcheck disable=SC2086
awk -v w="$(median $windows)" -v h16="$(median $heads16)" -v h0="$(median $heads0)" -v rss="$(median $rss)" \
    -v top="$(printf '%s\n' $rss | sort -n | tail -n 1)" -v runs="$runs" 'BEGIN {
  printf "medians of %d alternating runs; every copy identical to the release\n", runs
  printf "window, clicked through:          %8.3f s\n", w / 1e9
  printf "headless, paced in 16 ms frames:  %8.3f s\n", h16 / 1e9
  printf "headless, passes back to back:    %8.3f s\n", h0 / 1e9
  printf "ratio window/headless (paced):    %.3f (target at most 1.10)\n", w / h16
  printf "ratio window/headless (no waits): %.3f\n", w / h0
  printf "installer peak RSS: median %.1f MiB, highest %.1f MiB (target at most 120)\n", rss / 1024, top / 1024
}'
