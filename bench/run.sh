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
bench/control/silence_bench
bench/control/retention_bench
TZ=Europe/Amsterdam bench/control/coverage_bench

# The sound library's capture benchmark records from the tests' private PulseAudio server.
trap '../scripts/pulse-test-server.sh stop "$PWD/pulse"' EXIT
../scripts/pulse-test-server.sh start "$PWD/pulse"
PULSE_SERVER="unix:$PWD/pulse/native" bench/soundlib/soundlib_bench
# The cut at the second against a click at every whole second, played into the same server.
PULSE_SERVER="unix:$PWD/pulse/native" bench/audio/cut_bench

# The program recording with its window, against parecord (its own private server).
../bench/control/record_bench.sh .
# Where that time goes (perf's cpu-clock samples).
../bench/profile.sh .

bench/ui/bench_log_window
