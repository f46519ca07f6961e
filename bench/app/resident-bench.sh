#!/usr/bin/env bash
# Prints how fast a second start brings up the main window, and what the resident program costs
# while it waits: wake-ups (context switches of all its threads) and resident memory.
#   bench/app/resident-bench.sh [corvana binary] [runs]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
if [ "${CORVANA_SESSION:-}" != 1 ]; then exec "$here/scripts/with-session.sh" "$0" "$@"; fi
bin=$(realpath "${1:-$here/build/corvana/corvana}")
runs=${2:-10}

tmp=$(mktemp -d)
trap 'kill "$resident" 2>/dev/null || true; rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home" "$tmp/config" && mkdir -m 700 "$tmp/run"
export HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/run" VESKOLIB_JOURNAL="$tmp/journal"
unset CORVANA_DEVICES

visible() { xdotool search --onlyvisible --name '^Corvana$' 2>/dev/null | head -n1; }
now_ns() { date +%s%N; }
switches() {  # context switches of every thread of the process
  local total=0 n
  for status in /proc/"$1"/task/*/status; do
    n=$(awk '/ctxt_switches/ {s += $2} END {print s}' "$status")
    total=$((total + n))
  done
  echo "$total"
}
idle_report() {
  local before after
  before=$(switches "$resident"); sleep 10; after=$(switches "$resident")
  # Rss counts the shared libraries' pages too; Private_Dirty is what the program itself holds.
  printf '%-46s %6.2f wake-ups/s   memory: rss %s kB, pss %s kB, private %s kB\n' "$1" \
    "$(echo "($after - $before) / 10" | bc -l)" \
    "$(awk '/^Rss:/ {print $2}' /proc/"$resident"/smaps_rollup)" \
    "$(awk '/^Pss:/ {print $2}' /proc/"$resident"/smaps_rollup)" \
    "$(awk '/^Private_Dirty:/ {print $2}' /proc/"$resident"/smaps_rollup)"
}

"$bin" 2>/dev/null & resident=$!
for _ in $(seq 1 200); do [ -S "$XDG_RUNTIME_DIR/corvana.socket" ] && break; sleep 0.02; done
sleep 1
idle_report "resident, idle, before any dialog:"

times=()
for _ in $(seq 1 "$runs"); do
  t0=$(now_ns)
  "$bin" 2>/dev/null
  until [ -n "$(visible)" ]; do :; done
  t1=$(now_ns)
  times+=($(( (t1 - t0) / 1000 )))
  win=$(visible)
  xdotool windowactivate --sync "$win" key Escape 2>/dev/null || true
  while [ -n "$(visible)" ]; do sleep 0.02; done
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
median=$(echo "$sorted" | sed -n "$(( (runs + 1) / 2 ))p")
printf '%-46s median %6.1f ms  min %6.1f  max %6.1f  (target 150 ms, %d runs)\n' \
  "second start -> main window mapped:" "$(echo "$median / 1000" | bc -l)" \
  "$(echo "$(echo "$sorted" | head -n1) / 1000" | bc -l)" "$(echo "$(echo "$sorted" | tail -n1) / 1000" | bc -l)" "$runs"

sleep 3
idle_report "resident, idle, after the dialog was used:"
"$bin" Close 2>/dev/null
