#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

build=${POSBENCH_TEST_BUILD:-build/sanitize}
jobs=$(nproc)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPOSBENCH_SANITIZE=ON
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j "$jobs"

# What crosses threads again under ThreadSanitizer: the event pump and the TCP and USB link
# device with its name-lookup thread (their targets only, to stay quick).
tsan=${POSBENCH_TSAN_BUILD:-build/tsan}
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPOSBENCH_TSAN=ON
cmake --build "$tsan" -j "$jobs" --target test_base_events_test \
  test_comm_link_device_test
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1} \
  ctest --test-dir "$tsan" --output-on-failure -j "$jobs" \
  -R '^(Events|InputWait|LinkDevice[A-Za-z]*)\.'

# The Debian package: built, unpacked and checked, lintian without errors.
scripts/check-package.sh
