#!/usr/bin/env bash
# Fuzzes the photo viewer's decoding from memory under AddressSanitizer for a bounded time.
#   run-fuzz.sh [BUILD_DIR] [SECONDS]
# SECONDS defaults to CORVANA_FUZZ_SECONDS, else 60; CI sets a short budget, a longer run is
# a developer's choice.
# Decoder warnings on standard error are dropped (-close_fd_mask=2); sanitizer reports still show.
# Configures a clang build with -DCORVANA_FUZZ=ON in BUILD_DIR, builds the fuzzer and the seed
# writer, writes a fresh seed corpus and runs libFuzzer. Exits non-zero when the fuzzer finds a
# crash, a leak, a time-out or runs out of memory; the input is kept in BUILD_DIR/picture-artifacts.
set -euo pipefail
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${1:-${CORVANA_FUZZ_BUILD:-/tmp/corvana-build-fuzz}}
seconds=${2:-${CORVANA_FUZZ_SECONDS:-60}}

cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCORVANA_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C "$build_dir" -j2 picture_fuzzer picture_seeds

export QT_QPA_PLATFORM=offscreen
seeds="$build_dir/picture-seeds"
corpus="$build_dir/picture-corpus"
artifacts="$build_dir/picture-artifacts"
rm -rf "$seeds"
mkdir -p "$corpus" "$artifacts"
"$build_dir/tests/fuzz/picture_seeds" "$seeds"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
"$build_dir/tests/fuzz/picture_fuzzer" \
  -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -max_len=65536 -close_fd_mask=2 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$corpus" "$seeds"
