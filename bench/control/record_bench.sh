#!/usr/bin/env bash
# The program recording WAV 48 kHz stereo for 60 s with its window shown (under Xvfb), and
# without it (--headless), against parecord doing the same capture from the same source: CPU
# time, peak memory, and whether memory grows during the run. Memory is compared from 47 s on:
# the sound library's ring buffer (8 MiB, 43.7 s of this format) becomes resident page by
# page as the audio first passes through it, which is no growth. Usage: record_bench.sh <build folder> [seconds]
set -euo pipefail

if [[ "${1:-}" == "--measure" ]]; then
  # Runs the rest of the arguments, samples its memory early and late, reads its CPU time,
  # then stops it with SIGTERM. Prints: cpu-seconds peak-KiB early-KiB late-KiB.
  seconds=$2
  shift 2
  "$@" >/dev/null &
  pid=$!
  sleep 47
  early=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  sleep $((seconds - 50))
  late=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  sleep 3
  peak=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
  ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  kill -TERM "$pid"
  wait "$pid" || true
  echo "$(awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.2f", t / hz}') $peak $early $late"
  exit 0
fi

build=$(cd "$1" && pwd)
seconds=${2:-60}
((seconds >= 55)) || { echo "at least 55 seconds" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
self="$here/$(basename "$0")"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; "$here/../../scripts/pulse-test-server.sh" stop "$work/pulse" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

"$here/../../scripts/pulse-test-server.sh" start "$work/pulse" >/dev/null
export PULSE_SERVER="unix:$work/pulse/native"

# A 1 kHz tone played into the null sink in real time; its monitor is the captured source,
# which then delivers small fragments at the pace of a sound card.
sox -q -n -t raw -r 48000 -c 2 -b 16 -e signed - synth $((seconds * 3)) sine 1000 vol 0.5 |
  pacat --latency-msec=20 -d vantor_null --rate=48000 --channels=2 --format=s16le 2>/dev/null &
sleep 2
device=$(pactl list short sources | awk '{print $2}' | grep -nx vantor_null.monitor | cut -d: -f1)
device=$((device - 1))

mkdir -p "$work/program"
cp "$build/vantor2026" "$work/program/"
"$build/bench/control/control_bench_setup" "$work/program" "$device"

read -r p_cpu p_peak p_early p_late < <(cd "$work/program" &&
  xvfb-run -a -s "-screen 0 1280x1024x24" "$self" --measure "$seconds" ./vantor2026)
rm -rf "$work/program/Opnames"
read -r h_cpu h_peak h_early h_late < <(cd "$work/program" &&
  "$self" --measure "$seconds" ./vantor2026 --headless 2>/dev/null)
# The bare Qt window runs beside parecord: it only sets the memory reference.
(xvfb-run -a -s "-screen 0 1280x1024x24" "$self" --measure "$seconds" \
  "$build/bench/ui/bench_bare_window" >"$work/bare.txt") &
read -r r_cpu r_peak r_early r_late < <("$self" --measure "$seconds" \
  parecord --device=vantor_null.monitor --rate=48000 --channels=2 --format=s16le \
  --file-format=wav "$work/parecord.wav")
wait
read -r b_cpu b_peak b_early b_late <"$work/bare.txt"

recorded=$(find "$work/program/Opnames" -name '*.wav' -printf '%s\n' | awk '{s += $1} END {printf "%.1f", (s - 44) / 192000}')
awk -v s="$seconds" -v rec="$recorded" \
  -v pc="$p_cpu" -v pp="$p_peak" -v pe="$p_early" -v pl="$p_late" \
  -v hc="$h_cpu" -v hp="$h_peak" -v he="$h_early" -v hl="$h_late" \
  -v rc="$r_cpu" -v rp="$r_peak" -v re="$r_early" -v rl="$r_late" -v bp="$b_peak" 'BEGIN {
  printf "control: WAV 48 kHz stereo for %d s against parecord (%s s of audio written by the headless run)\n", s, rec
  printf "  CPU time     window %.2f s, headless %.2f s, parecord %.2f s: ratios %.2f (aim <= 1.5) and %.2f (aim <= 1.2)\n", pc, hc, rc, pc / rc, hc / rc
  printf "  peak memory  window %.1f MiB, headless %.1f MiB, parecord %.1f MiB: ratios %.1f and %.1f\n", pp / 1024, hp / 1024, rp / 1024, pp / rp, hp / rp
  printf "  peak memory  window %.1f MiB against a bare Qt window of its size %.1f MiB: ratio %.2f (aim <= 1.3)\n", pp / 1024, bp / 1024, pp / bp
  printf "  memory from 47 s to %d s  window %+.1f MiB, headless %+.1f MiB, parecord %+.1f MiB\n", s - 3, (pl - pe) / 1024, (hl - he) / 1024, (rl - re) / 1024
}'
