#!/usr/bin/env bash
# Fuzzes one harness for real with libFuzzer under ASan and UBSan: scripts/fuzz.sh NAME SECONDS
# New inputs go to a scratch folder; the seed corpus in fuzz/corpus/NAME is only read.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 2 ] || { echo "usage: scripts/fuzz.sh NAME SECONDS" >&2; exit 2; }
name=$1; seconds=$2
source scripts/packages.sh
qav_install_packages clang libclang-rt-14-dev
build=${QAV_FUZZ_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQAV_SANITIZE=ON -DQAV_FUZZ=ON -DQAV_TESTS=OFF -DQAV_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "fuzz_$name"
work="$build/corpus-$name"
mkdir -p "$work"
"$build/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 "$work" "fuzz/corpus/$name"
