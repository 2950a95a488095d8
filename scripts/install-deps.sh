#!/usr/bin/env bash
# Installs the Debian 12 packages the program needs; with --test also those of the tests and
# benchmarks. Only missing packages are installed. Runs apt through sudo when not root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config dpkg-dev file
  qt6-base-dev libqt6sql6-sqlite qt6-qpa-plugins libgl-dev
  libpulse-dev libmp3lame-dev libvorbis-dev libogg-dev libopus-dev libopusenc-dev libsndfile1-dev
  libsystemd-dev prometheus-cpp-dev
  pulseaudio pulseaudio-utils fonts-dejavu-core qt6-translations-l10n
)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev sqlite3 python3
  xvfb xauth x11-utils imagemagick faketime sox lame vorbis-tools opus-tools time dbus-daemon
  python3-prometheus-client linux-perf
)

wanted=("${packages[@]}")
if [[ "${1:-}" == "--test" ]]; then
  wanted+=("${test_packages[@]}")
fi

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo_cmd=()
[[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
echo "Installeren: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
