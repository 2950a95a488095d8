#!/usr/bin/env bash
# Builds the benchmarks and runs them; each prints its figures as ratios against a reference
# measured in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --test
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j2
cd build-bench

bench/data/data_bench
bench/ui/bench_log_window
