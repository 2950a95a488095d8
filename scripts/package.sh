#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, builds the program (Release, without
# tests and benchmarks) in build-package/ and packs it with CPack. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVANTOR_BENCH=OFF >/dev/null
cmake --build build-package -j2
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/vantor2026_*.deb
