#!/usr/bin/env bash
# Configures and builds Corvana in ./build (Ninja, warnings on).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build -j"$(nproc)"
