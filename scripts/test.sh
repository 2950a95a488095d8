#!/usr/bin/env bash
# Installs what is missing (the tests' packages included), builds and runs the whole test suite:
# first under the address and undefined-behaviour sanitizers, then the capture path's threaded
# tests under the thread sanitizer, and last the normal build, whose CTest summary closes the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh --test

echo "== Address and undefined-behaviour sanitizers"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DVANTOR_SANITIZE=ON >/dev/null
cmake --build build-asan -j2
# libfaketime is preloaded into the program by the end-to-end tests, before the ASan runtime.
(cd build-asan &&
  ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1 \
  LSAN_OPTIONS="suppressions=$root/scripts/lsan-suppressions.txt:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure --timeout 600 -j2)

echo "== Thread sanitizer: capture, stop and recording threads"
# Qt itself is not built with the thread sanitizer, so only the tests of the sound library and
# the recorder run here, on the scripted backend.
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVANTOR_TSAN=ON >/dev/null
cmake --build build-tsan -j2 --target soundlib_tests recorder_tests
for test in tests/soundlib/soundlib_tests tests/audio/recorder_tests; do
  TSAN_OPTIONS=halt_on_error=1 build-tsan/$test --gtest_brief=1
done

echo "== Normal build"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-test -j2
cd build-test
ctest --output-on-failure --timeout 600 -j2
