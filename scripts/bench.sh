#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them: scripts/bench.sh [NAME [benchmark flags...]]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
qav_install_packages
build=${QAV_BENCH_DIR:-build-release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQAV_TESTS=OFF -DQAV_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
if [ $# -gt 0 ]; then
  name=$1; shift
  "$build/bench/$name" "$@"
else
  for b in "$build"/bench/*_bench; do "$b"; done
fi
