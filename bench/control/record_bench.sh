#!/usr/bin/env bash
# The program recording WAV 48 kHz stereo for 60 s with its window shown (under Xvfb), and
# without it (--headless), against parecord doing the same capture from the same source: CPU
# time, peak memory, and whether memory grows during the run. All of them, and a bare Qt window
# that sets the memory reference, run side by side over the same seconds, so a busy machine
# weighs on each alike. CPU time is given for the whole run and for the steady part after the
# first 5 s, which leaves out the start-up a months-long run pays once. Memory is compared from
# 47 s on: the sound library's ring buffer (32 s of the format, 6.1 MiB) becomes resident page
# by page as the audio first passes through it, which is no growth.
# Usage: record_bench.sh <build folder> [seconds]
set -euo pipefail

if [[ "${1:-}" == "--measure" ]]; then
  # Runs the rest of the arguments, reads its CPU time after 5 s and at the end, samples its
  # memory early and late, then stops it with SIGTERM. Prints: cpu-seconds
  # steady-cpu-seconds peak-KiB early-KiB late-KiB.
  seconds=$2
  shift 2
  "$@" >/dev/null &
  pid=$!
  ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
  sleep 5
  started=$(ticks)
  sleep 42
  early=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  sleep $((seconds - 50))
  late=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  sleep 3
  peak=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status")
  total=$(ticks)
  kill -TERM "$pid"
  wait "$pid" || true
  awk -v t="$total" -v s="$started" -v hz="$(getconf CLK_TCK)" \
    'BEGIN {printf "%.2f %.2f", t / hz, (t - s) / hz}'
  echo " $peak $early $late"
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

for run in window headless; do
  mkdir -p "$work/$run"
  cp "$build/vantor2026" "$work/$run/"
  "$build/bench/control/control_bench_setup" "$work/$run" "$device"
done

(cd "$work/window" && xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$self" --measure "$seconds" ./vantor2026 >"$work/window.txt") &
runs=($!)
(cd "$work/headless" && "$self" --measure "$seconds" ./vantor2026 --headless \
  >"$work/headless.txt" 2>/dev/null) &
runs+=($!)
# xvfb-run -a picks its display by looking for a free one: two starting at once may pick the same.
sleep 3
(xvfb-run -a -s "-screen 0 1280x1024x24" "$self" --measure "$seconds" \
  "$build/bench/ui/bench_bare_window" >"$work/bare.txt" 2>/dev/null) &
runs+=($!)
"$self" --measure "$seconds" parecord --device=vantor_null.monitor --rate=48000 --channels=2 \
  --format=s16le --file-format=wav "$work/parecord.wav" >"$work/parecord.txt"
wait "${runs[@]}"
read -r p_cpu p_steady p_peak p_early p_late <"$work/window.txt"
read -r h_cpu h_steady h_peak h_early h_late <"$work/headless.txt"
read -r r_cpu r_steady r_peak r_early r_late <"$work/parecord.txt"
read -r b_cpu b_steady b_peak b_early b_late <"$work/bare.txt"

recorded=$(find "$work/headless/Opnames" -name '*.wav' -printf '%s\n' | awk '{s += $1} END {printf "%.1f", (s - 44) / 192000}')
awk -v s="$seconds" -v rec="$recorded" \
  -v pc="$p_cpu" -v ps="$p_steady" -v pp="$p_peak" -v pe="$p_early" -v pl="$p_late" \
  -v hc="$h_cpu" -v hs="$h_steady" -v hp="$h_peak" -v he="$h_early" -v hl="$h_late" \
  -v rc="$r_cpu" -v rs="$r_steady" -v rp="$r_peak" -v re="$r_early" -v rl="$r_late" \
  -v bp="$b_peak" 'BEGIN {
  printf "control: WAV 48 kHz stereo for %d s against parecord, side by side (%s s of audio written by the headless run)\n", s, rec
  printf "  CPU time     window %.2f s, headless %.2f s, parecord %.2f s: ratios %.2f (aim <= 1.5) and %.2f (aim <= 1.2)\n", pc, hc, rc, pc / rc, hc / rc
  printf "  after 5 s    window %.2f s, headless %.2f s, parecord %.2f s: ratios %.2f and %.2f\n", ps, hs, rs, ps / rs, hs / rs
  printf "  peak memory  window %.1f MiB, headless %.1f MiB, parecord %.1f MiB: ratios %.1f and %.1f\n", pp / 1024, hp / 1024, rp / 1024, pp / rp, hp / rp
  printf "  peak memory  window %.1f MiB against a bare Qt window of its size %.1f MiB: ratio %.2f (aim <= 1.3)\n", pp / 1024, bp / 1024, pp / bp
  printf "  memory from 47 s to %d s  window %+.1f MiB, headless %+.1f MiB, parecord %+.1f MiB\n", s - 3, (pl - pe) / 1024, (hl - he) / 1024, (rl - re) / 1024
}'
