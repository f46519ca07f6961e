#!/usr/bin/env bash
# Runs soak_bench in a private session (Xvfb, window manager, D-Bus, PulseAudio) with the
# synthetic webcam and microphone, in a private home and runtime folder.
#   bench/soak/soak.sh [soak_bench binary] [dialog cycles] [mode switches]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
if [ "${CORVANA_SESSION:-}" != 1 ]; then exec "$here/scripts/with-session.sh" "$0" "$@"; fi
bin=$(realpath "${1:-$here/build/bench/soak/soak_bench}")
shift || true

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home" "$tmp/config"
# The bench makes its own folders below TMPDIR; the session's sound server stays reachable.
export HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" TMPDIR="$tmp" CORVANA_DEVICES=synthetic
"$bin" "$@"
