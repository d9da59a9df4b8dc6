#!/usr/bin/env bash
# Installs any missing build package, builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test (the real-input window tests under Xvfb); then
# runs the suites that start threads again in a ThreadSanitizer build (scripts/tsan.sh).
# Exits non-zero on any failure. CI runs exactly this.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
qav_install_packages

build=${QAV_BUILD_DIR:-build}
jobs=$(nproc)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQAV_SANITIZE=ON
cmake --build "$build" -j "$jobs"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:strict_string_checks=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
# Window tests use the headless backend or Qt's offscreen platform; the real-input tests start a
# display of their own or take turns on the run's (scripts/xvfb.sh: the server picks a free number).
scripts/xvfb.sh \
  ctest --test-dir "$build" --output-on-failure --timeout 600 -j "$jobs"

scripts/tsan.sh
