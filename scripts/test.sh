#!/usr/bin/env bash
# Installs what Corvana needs, builds it and runs every test inside a private desktop session
# (Xvfb with a window manager, D-Bus, PulseAudio with a null sink). Arguments go to that ctest run.
# Switches, all set by .ci/run:
#   CORVANA_WERROR=ON      warnings fail the build
#   CORVANA_SANITIZE=1     also builds the tests labelled `unit` with AddressSanitizer and
#                          UndefinedBehaviorSanitizer in ./build-asan and runs them
#   CORVANA_FUZZ_SECONDS   the fuzzing run's budget (60 s unless set)
set -euo pipefail
cd "$(dirname "$0")/.."

# Each stage's time, printed at the end whether the run passed or not.
times=()
record() { times+=("$(printf 'stage %-16s %4d s%s' "$1" "$2" "${3:-}")"); }
stage() {
  local name=$1 start=$SECONDS status=0
  shift
  "$@" || status=$?
  record "$name" $((SECONDS - start)) "$([ "$status" = 0 ] || echo " (failed with status $status)")"
  return "$status"
}
asan_pid=
finish() {
  if [ -n "$asan_pid" ]; then kill "$asan_pid" 2>/dev/null || true; fi
  local line
  for line in "${times[@]}"; do echo "$line"; done
}
trap finish EXIT

sanitize=${CORVANA_SANITIZE:-0}
stage install-deps bash scripts/install-deps.sh
# Set on every run, so one CI run does not leave -Werror behind in a developer's build folder.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANA_WERROR="${CORVANA_WERROR:-OFF}" >/dev/null
stage build bash scripts/build.sh
# A test without one of the labels would silently miss the runs that choose by label.
unlabelled=$(ctest --test-dir build -N -LE '^(unit|program|soak|install|fuzz)$' | grep '^ *Test *#' || true)
if [ -n "$unlabelled" ]; then
  echo "Tests without a label (see tests/CMakeLists.txt):"
  echo "$unlabelled"
  exit 1
fi

if [ "$sanitize" = 1 ]; then
  # Built while the tests run: they mostly wait on the session, and at the lowest priority the
  # compiler only takes the time they leave.
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANA_SANITIZE=ON >/dev/null
  asan_start=$SECONDS
  nice -n 19 ninja -C build-asan -j"$(nproc)" corvana_unit_tests >build-asan/ninja-output.log 2>&1 &
  asan_pid=$!
fi

stage tests scripts/with-session.sh ctest --test-dir build --output-on-failure -j1 "$@"
# The tests that record, again on the sound and camera server of current desktops.
stage tests-pipewire env CORVANA_SOUND=pipewire scripts/with-session.sh \
  ctest --test-dir build --output-on-failure -j1 -R '^(capture_tests|program_test|pipewire_program_test)$' "$@"

if [ "$sanitize" = 1 ]; then
  tests_end=$SECONDS
  status=0
  wait "$asan_pid" || status=$?
  asan_pid=
  record asan-build $((SECONDS - asan_start)) ", $((SECONDS - tests_end)) s of it after the tests"
  if [ "$status" != 0 ]; then
    cat build-asan/ninja-output.log
    exit "$status"
  fi
  stage asan-tests scripts/with-session.sh ctest --test-dir build-asan -L unit --output-on-failure -j1
  stage asan-pipewire env CORVANA_SOUND=pipewire scripts/with-session.sh \
    ctest --test-dir build-asan -R '^capture_pipewire_tests$' --output-on-failure -j1
fi
