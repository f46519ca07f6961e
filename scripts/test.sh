#!/usr/bin/env bash
# Installs what Corvana needs, builds it and runs every test inside a private desktop session
# (Xvfb with a window manager, D-Bus, PulseAudio with a null sink). Arguments go to that ctest run.
# Switches, all set by .ci/run:
#   CORVANA_WERROR=ON      warnings fail the build
#   CORVANA_SANITIZE=1     afterwards builds the tests labelled `unit` with AddressSanitizer and
#                          UndefinedBehaviorSanitizer in ./build-asan and runs them
#   CORVANA_FUZZ_SECONDS   the fuzzing run's budget (60 s unless set)
set -euo pipefail
cd "$(dirname "$0")/.."

# Each stage's time, printed at the end whether the run passed or not.
times=()
report() {
  local line
  for line in "${times[@]}"; do echo "$line"; done
}
trap report EXIT
stage() {
  local name=$1 start=$SECONDS status=0
  shift
  "$@" || status=$?
  local line
  line=$(printf 'stage %-13s %4d s' "$name" $((SECONDS - start)))
  if [ "$status" != 0 ]; then line+=" (failed with status $status)"; fi
  times+=("$line")
  return "$status"
}

stage install-deps bash scripts/install-deps.sh
# Set on every run, so one CI run does not leave -Werror behind in a developer's build folder.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANA_WERROR="${CORVANA_WERROR:-OFF}" >/dev/null
stage build bash scripts/build.sh
stage tests scripts/with-session.sh ctest --test-dir build --output-on-failure -j1 "$@"

if [ "${CORVANA_SANITIZE:-0}" = 1 ]; then
  sanitized() {
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANA_SANITIZE=ON >/dev/null
    ninja -C build-asan -j"$(nproc)" corvana_unit_tests
  }
  stage asan-build sanitized
  stage asan-tests scripts/with-session.sh ctest --test-dir build-asan -L unit --output-on-failure -j1
fi
