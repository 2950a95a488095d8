#!/usr/bin/env bash
# Installs what is missing, builds a Release build into build/ and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVANTOR_BENCH=OFF >/dev/null
cmake --build build -j2

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "Geen beeldscherm gevonden (DISPLAY en WAYLAND_DISPLAY zijn leeg)."
  echo "Start het programma met een virtueel beeldscherm:  xvfb-run -a build/vantor2026"
  echo "(apt-get install xvfb levert xvfb-run)."
  exit 1
fi
exec build/vantor2026 "$@"
