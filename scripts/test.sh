#!/usr/bin/env bash
# Installs what is missing (the tests' packages included), builds and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --test
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-test -j2
cd build-test
ctest --output-on-failure --timeout 600 -j2
