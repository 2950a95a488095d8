#!/usr/bin/env bash
# The program recording WAV 48 kHz stereo for 60 s with its window shown (under Xvfb), and
# without it (--headless), against parecord doing the same capture from the same source: CPU
# time, peak memory, and whether memory grows during the run. Each runs beside a parecord of its
# own over the same seconds, so the machine's load weighs on both alike; the bare Qt window that
# sets the memory reference is shown meanwhile (beside the windowless run). CPU time is given
# for the whole run and for the steady part after the first 5 s, which leaves out the start-up a
# months-long run pays once. Memory is compared from 47 s on, past a full lap of the sound
# library's 32 s capture ring. The machine's load varies from minute to minute, so the rounds
# are repeated and the median ratio is taken.
# Usage: record_bench.sh <build folder> [seconds, default 60] [rounds, default 3]
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
rounds=${3:-3}
((seconds >= 55)) || { echo "at least 55 seconds" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
self="$here/$(basename "$0")"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; "$here/../../scripts/pulse-test-server.sh" stop "$work/pulse" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

"$here/../../scripts/pulse-test-server.sh" start "$work/pulse" >/dev/null
export PULSE_SERVER="unix:$work/pulse/native"

# A 1 kHz tone played into the null sink in real time; its monitor is the captured source,
# which then delivers small fragments at the pace of a sound card.
sox -q -n -t raw -r 48000 -c 2 -b 16 -e signed - synth $(((seconds + 5) * rounds * 2 + 30)) sine 1000 vol 0.5 |
  pacat --latency-msec=20 -d vantor_null --rate=48000 --channels=2 --format=s16le 2>/dev/null &
sleep 2
device=$(pactl list short sources | awk '{print $2}' | grep -nx vantor_null.monitor | cut -d: -f1)
device=$((device - 1))

for run in window headless; do
  mkdir -p "$work/$run"
  cp "$build/vantor2026" "$work/$run/"
  "$build/bench/control/control_bench_setup" "$work/$run" "$device"
done

# Runs the rest of the arguments, a measured program, in $work/<Name> beside a measured parecord
# of its own, writing the figures to $work/<Name>.<Round> and $work/parecord-<Name>.<Round>.
beside_parecord() {
  local name=$1 r=$2
  shift 2
  rm -rf "$work/$name/Opnames"
  (cd "$work/$name" && "$@" >"$work/$name.$r" 2>/dev/null) &
  local program=$!
  "$self" --measure "$seconds" parecord --device=vantor_null.monitor --rate=48000 --channels=2 \
    --format=s16le --file-format=wav "$work/parecord.wav" >"$work/parecord-$name.$r"
  wait "$program"
}
# One round: the window beside a parecord, then the windowless program beside another, with
# the bare Qt window, which only sets the memory reference, shown meanwhile.
round() {
  local r=$1
  beside_parecord window "$r" \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$self" --measure "$seconds" ./vantor2026
  (xvfb-run -a -s "-screen 0 1280x1024x24" "$self" --measure "$seconds" \
    "$build/bench/ui/bench_bare_window" >"$work/bare.$r" 2>/dev/null) &
  local bare=$!
  beside_parecord headless "$r" "$self" --measure "$seconds" ./vantor2026 --headless
  wait "$bare"
}
for ((r = 1; r <= rounds; r++)); do round "$r"; done

recorded=$(find "$work/headless/Opnames" -name '*.wav' -printf '%s\n' | awk '{s += $1} END {printf "%.1f", (s - 44) / 192000}')
echo "control: WAV 48 kHz stereo for $seconds s against parecord, side by side, $rounds rounds ($recorded s of audio written by the last headless run)"
for ((r = 1; r <= rounds; r++)); do
  paste -d ' ' "$work/window.$r" "$work/parecord-window.$r" "$work/headless.$r" \
    "$work/parecord-headless.$r" "$work/bare.$r"
done | awk -v s="$seconds" '
  # Per round: window, its parecord, headless, its parecord, bare: cpu steady peak early late.
  { pc = $1; ps = $2; pp = $3; pe = $4; pl = $5; wc = $6; ws = $7
    hc = $11; hs = $12; hp = $13; he = $14; hl = $15
    rc = $16; rs = $17; rp = $18; re = $19; rl = $20; bp = $23
    printf "  round %d      window %.2f s beside parecord %.2f s, headless %.2f s beside parecord %.2f s; after 5 s %.2f/%.2f, %.2f/%.2f s\n", NR, pc, wc, hc, rc, ps, ws, hs, rs
    wr[NR] = pc / wc; hr[NR] = hc / rc; wsr[NR] = ps / ws; hsr[NR] = hs / rs }
  function median(a, n,   i, j, t) {
    for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2 }
  END {
    printf "  CPU time     median ratios to parecord: window %.2f (aim <= 1.5), headless %.2f (aim <= 1.2)\n", median(wr, NR), median(hr, NR)
    printf "  after 5 s    median ratios to parecord: window %.2f, headless %.2f\n", median(wsr, NR), median(hsr, NR)
    printf "  peak memory  window %.1f MiB, headless %.1f MiB, parecord %.1f MiB: ratios %.1f and %.1f\n", pp / 1024, hp / 1024, rp / 1024, pp / rp, hp / rp
    printf "  peak memory  window %.1f MiB against a bare Qt window of its size %.1f MiB: ratio %.2f (aim <= 1.3)\n", pp / 1024, bp / 1024, pp / bp
    printf "  memory from 47 s to %d s  window %+.1f MiB, headless %+.1f MiB, parecord %+.1f MiB\n", s - 3, (pl - pe) / 1024, (hl - he) / 1024, (rl - re) / 1024
  }'
