#!/usr/bin/env bash
# Runs one benchmark in a private session on each sound server users have, one after the other,
# so its figures for PulseAudio and for PipeWire stand side by side:
#   bench/sound-servers.sh build/bench/capture/capture_bench 30
#   bench/sound-servers.sh bench/app/resident-bench.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -eq 0 ]; then echo "usage: $0 BENCHMARK [ARGUMENTS...]" >&2; exit 2; fi
for sound in pulseaudio pipewire; do
  echo "=== $sound"
  CORVANA_SESSION= CORVANA_SOUND=$sound "$here/scripts/with-session.sh" "$@"
done
