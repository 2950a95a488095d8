#!/usr/bin/env bash
# Installs what is missing, builds a Release build into build/ and starts the program: with
# its window on a display, without one (--headless) when there is none.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVANTOR_BENCH=OFF >/dev/null
cmake --build build -j2

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "Geen beeldscherm gevonden (DISPLAY en WAYLAND_DISPLAY zijn leeg): Vantor 2026 start zonder venster."
  echo "Statusregels verschijnen hieronder; stoppen met Ctrl+C (of SIGTERM) sluit de lopende opname netjes af."
  exec build/vantor2026 --headless "$@"
fi
exec build/vantor2026 "$@"
