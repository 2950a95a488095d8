#!/usr/bin/env bash
# Takes docs/screenshots/main.png: the real program under Xvfb, recording the 1 kHz sine
# source of a private PulseAudio server; then main-trouble.png, a few seconds after that
# server went away; then main-low-space.png, recording onto a 200 MiB tmpfs that the program
# gets in a mount namespace of its own; last main-second-copy.png, a second copy started on
# the folder of one that records (its start-up box). Usage: scripts/screenshot-main.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(cd "${1:-build-test}" && pwd)
work=$(mktemp -d)
trap '"$root/scripts/pulse-test-server.sh" stop "$work/pulse" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

"$root/scripts/pulse-test-server.sh" start "$work/pulse" >/dev/null
export PULSE_SERVER="unix:$work/pulse/native"
device=$(pactl list short sources | awk '{print $2}' | grep -nx vantor_sine | cut -d: -f1)

mkdir -p "$work/program"
cp "$build/vantor2026" "$work/program/"
"$build/bench/control/control_bench_setup" "$work/program" "$((device - 1))"

cat >"$work/shoot.sh" <<SHOOT
#!/usr/bin/env bash
set -euo pipefail
cd "$work/program"
./vantor2026 &
pid=\$!
sleep 6
# The mapped top-level window of the program (no window manager runs: no frame).
geometry=\$(xwininfo -root -tree | awk '/"Vantor 2026"/ && / 592x/ {print \$(NF-1); exit}')
import -window root -crop "\$geometry" +repage "$root/docs/screenshots/main.png"
"$root/scripts/pulse-test-server.sh" stop "$work/pulse" >/dev/null
sleep 3
import -window root -crop "\$geometry" +repage "$root/docs/screenshots/main-trouble.png"
kill -TERM \$pid
wait \$pid

"$root/scripts/pulse-test-server.sh" start "$work/pulse" >/dev/null
mkdir -p Opnames
unshare -rm sh -c 'mount -t tmpfs -o size=200m vantor Opnames && exec ./vantor2026' &
pid=\$!
sleep 6
import -window root -crop "\$geometry" +repage "$root/docs/screenshots/main-low-space.png"
kill -TERM \$pid
wait \$pid

./vantor2026 --headless >/dev/null &
first=\$!
sleep 3
./vantor2026 &
pid=\$!
sleep 4
# The start-up's error box, which comes before the main window.
geometry=\$(xwininfo -root -tree | awk '/"Vantor 2026"/ {print \$(NF-1); exit}')
import -window root -crop "\$geometry" +repage "$root/docs/screenshots/main-second-copy.png"
kill -TERM \$pid \$first
wait \$pid \$first || true
SHOOT
chmod +x "$work/shoot.sh"
mkdir -p docs/screenshots
xvfb-run -a -s "-screen 0 1280x1024x24" "$work/shoot.sh"
echo "docs/screenshots/main.png docs/screenshots/main-trouble.png docs/screenshots/main-low-space.png" \
  "docs/screenshots/main-second-copy.png"
