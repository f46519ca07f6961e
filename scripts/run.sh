#!/usr/bin/env bash
# Installs what Corvana needs, builds it and starts it. Without a display it runs under a
# virtual one with the synthetic webcam and microphone, opens the main window, saves a
# screenshot and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  build/corvana/corvana &
  socket="${XDG_RUNTIME_DIR:-/tmp/corvana-$(id -u)}/corvana.socket"
  for _ in $(seq 1 100); do [ -S "$socket" ] && break; sleep 0.05; done
  exec build/corvana/corvana   # a second start opens the main window
fi

export CORVANA_DEVICES=synthetic
mkdir -p out
shot="$PWD/out/corvana-main-window.png"
scripts/with-session.sh bash -c '
  set -euo pipefail
  build/corvana/corvana &
  resident=$!
  for _ in $(seq 1 100); do [ -S "$XDG_RUNTIME_DIR/corvana.socket" ] && break; sleep 0.1; done
  build/corvana/corvana
  win=""
  for _ in $(seq 1 100); do
    win=$(xdotool search --onlyvisible --name "^Corvana$" 2>/dev/null | head -n1 || true)
    [ -n "$win" ] && break; sleep 0.1
  done
  sleep 2   # let the first frames of the preview arrive
  import -window "$win" "'"$shot"'"
  build/corvana/corvana Close
  wait "$resident" || true
'
echo "Corvana ran under a virtual display; screenshot of the main window: $shot"
