#!/usr/bin/env bash
# The program recording WAV 48 kHz stereo for 60 s with its window shown (under Xvfb), against
# parecord doing the same capture from the same source: CPU time, peak memory, and whether
# memory grows during the run. Usage: record_bench.sh <build folder> [seconds]
set -euo pipefail

if [[ "${1:-}" == "--measure" ]]; then
  # Runs the rest of the arguments, samples its memory early and late, reads its CPU time,
  # then stops it with SIGTERM. Prints: cpu-seconds peak-KiB early-KiB late-KiB.
  seconds=$2
  shift 2
  "$@" &
  pid=$!
  sleep 10
  early=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  sleep $((seconds - 15))
  late=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  sleep 5
  peak=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
  ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  kill -TERM "$pid"
  wait "$pid" || true
  echo "$(awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.2f", t / hz}') $peak $early $late"
  exit 0
fi

build=$(cd "$1" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; "$here/../../scripts/pulse-test-server.sh" stop "$work/pulse" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

"$here/../../scripts/pulse-test-server.sh" start "$work/pulse" >/dev/null
export PULSE_SERVER="unix:$work/pulse/native"

# A 1 kHz tone played into the null sink in real time; its monitor is the captured source,
# which then delivers small fragments at the pace of a sound card.
sox -q -n -t raw -r 48000 -c 2 -b 16 -e signed - synth $((seconds * 3)) sine 1000 vol 0.5 |
  pacat --latency-msec=20 -d vantor_null --rate=48000 --channels=2 --format=s16le &
sleep 2
device=$(pactl list short sources | awk '{print $2}' | grep -nx vantor_null.monitor | cut -d: -f1)
device=$((device - 1))

mkdir -p "$work/program"
cp "$build/vantor2026" "$work/program/"
"$build/bench/control/control_bench_setup" "$work/program" "$device"

read -r p_cpu p_peak p_early p_late < <(cd "$work/program" &&
  xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --measure "$seconds" ./vantor2026)
read -r r_cpu r_peak r_early r_late < <("$0" --measure "$seconds" \
  parecord --device=vantor_null.monitor --rate=48000 --channels=2 --format=s16le \
  --file-format=wav "$work/parecord.wav")

recorded=$(find "$work/program/Opnames" -name '*.wav' -printf '%s\n' | awk '{s += $1} END {printf "%.1f", (s - 44) / 192000}')
awk -v s="$seconds" -v rec="$recorded" \
  -v pc="$p_cpu" -v pp="$p_peak" -v pe="$p_early" -v pl="$p_late" \
  -v rc="$r_cpu" -v rp="$r_peak" -v re="$r_early" -v rl="$r_late" 'BEGIN {
  printf "control: WAV 48 kHz stereo for %d s, window under Xvfb, against parecord (%s s of audio written)\n", s, rec
  printf "  CPU time     program %.2f s, parecord %.2f s: ratio %.2f (aim <= 1.5)\n", pc, rc, (rc > 0 ? pc / rc : 0)
  printf "  peak memory  program %.1f MiB, parecord %.1f MiB: ratio %.1f\n", pp / 1024, rp / 1024, pp / rp
  printf "  memory from 10 s to %d s  program %+.1f MiB, parecord %+.1f MiB\n", s - 5, (pl - pe) / 1024, (rl - re) / 1024
}'
