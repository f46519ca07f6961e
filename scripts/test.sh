#!/usr/bin/env bash
# Installs what Corvana needs, builds it and runs every test inside a private desktop session
# (Xvfb with a window manager, D-Bus, PulseAudio with a null sink).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
scripts/with-session.sh ctest --test-dir build --output-on-failure -j1 "$@"
