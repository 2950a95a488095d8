#!/usr/bin/env bash
# Where the CPU time of a recording goes: perf's cpu-clock samples (call stacks included) of
# the program with its window (under Xvfb) and without it (--headless), each recording WAV
# 48 kHz stereo from the paced null-sink monitor, and of the sound library's capture alone
# (soundlib_bench --capture, 60 s from the sine source). Prints the five biggest costs of each
# run, by thread, by library and by function, as shares of its samples.
# Usage: bench/profile.sh <build folder> [seconds, default 30]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-30}
command -v perf >/dev/null || { echo "perf is missing (Debian: linux-perf)" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; "$here/../scripts/pulse-test-server.sh" stop "$work/pulse" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

"$here/../scripts/pulse-test-server.sh" start "$work/pulse" >/dev/null
export PULSE_SERVER="unix:$work/pulse/native"
sox -q -n -t raw -r 48000 -c 2 -b 16 -e signed - synth $((seconds * 3 + 90)) sine 1000 vol 0.5 |
  pacat --latency-msec=20 -d vantor_null --rate=48000 --channels=2 --format=s16le 2>/dev/null &
sleep 2
device=$(pactl list short sources | awk '{print $2}' | grep -nx vantor_null.monitor | cut -d: -f1)
mkdir -p "$work/program"
cp "$build/vantor2026" "$work/program/"
"$build/bench/control/control_bench_setup" "$work/program" $((device - 1))

record() { # name, then the command
  local name=$1
  shift
  (cd "$work/program" && rm -rf Opnames &&
    timeout -s TERM "$seconds" perf record -q -e cpu-clock -F 1000 -g -o "$work/$name.data" "$@" \
      >/dev/null 2>&1 || true)
}
record window xvfb-run -a -s "-screen 0 1280x1024x24" ./vantor2026
record headless ./vantor2026 --headless
(cd "$work" && perf record -q -e cpu-clock -F 1000 -g -o "$work/library.data" \
  "$build/bench/soundlib/soundlib_bench" --capture >/dev/null 2>&1)

top() { # data file, sort key
  perf report -i "$1" --stdio --no-children -g none --sort "$2" --percent-limit 0.5 2>/dev/null |
    grep -v '^#' | grep -v '^$' | head -5 | sed 's/^/    /'
}
for name in window headless library; do
  total=$(perf report -i "$work/$name.data" --stdio -g none --sort comm 2>/dev/null |
    awk '/^# Samples:/ {print $3}')
  echo "== $name: $total samples of 1 ms"
  echo "  by thread";   top "$work/$name.data" comm
  echo "  by library";  top "$work/$name.data" dso
  echo "  by function"; top "$work/$name.data" sym
done
