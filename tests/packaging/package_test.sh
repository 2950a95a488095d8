#!/usr/bin/env bash
# The Debian package of the build under test: its contents and dependencies, the program run
# from the unpacked package recording a scheduled hour on the tests' sound server into a data
# folder of its own, and both systemd units as systemd-analyze sees them.
# Usage: package_test.sh <build folder>; PULSE_SERVER names the tests' server. Exit 77: skipped.
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in cpack dpkg-deb dpkg-shlibdeps systemd-analyze pactl sqlite3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/vantor2026_*.deb)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/vantor2026 ./usr/share/applications/vantor2026.desktop \
  ./usr/share/icons/hicolor/scalable/apps/vantor2026.svg \
  ./usr/lib/systemd/system/vantor2026@.service ./usr/lib/systemd/user/vantor2026.service \
  ./usr/share/doc/vantor2026/README.md; do
  grep -qx -- "$path" <<<"$contents" || fail "$path not in the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
# From the libraries really linked (dpkg-shlibdeps), with their versions.
for lib in libpulse0 libmp3lame0 libopusenc0 libsndfile1 libqt6core6 libsystemd0 \
  libprometheus-cpp-pull1.0 libqt6sql6-sqlite; do
  grep -q "$lib" <<<"$depends" || fail "$lib not among the dependencies: $depends"
done
dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -qx './postinst' || fail "no postinst"

root=$work/root
dpkg-deb -x "$deb" "$root"
"$root/usr/bin/vantor2026" --version | grep -q "^Vantor 2026 " || fail "--version"

# A data folder with the sine source as its device and every hour scheduled.
device=$(pactl list short sources | awk '{print $2}' | grep -n 'vantor_sine' | cut -d: -f1)
[[ -n "$device" ]] || fail "no sine source on the test server"
mkdir -p "$work/data"
"$build/bench/control/control_bench_setup" "$work/data" $((device - 1)) >/dev/null ||
  fail "preparing the data folder"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  "$root/usr/bin/vantor2026" --headless --data-dir "$work/data" >"$work/out.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
  grep -q "Opname gestart door" "$work/out.log" && break
  sleep 0.2
done
grep -q "Opname gestart door" "$work/out.log" || { cat "$work/out.log"; fail "no recording started"; }
sleep 2
kill -TERM "$pid"
wait "$pid" || fail "exit status $? after SIGTERM"
pid=
files=$(find "$work/data/Opnames" -type f | wc -l)
rows=$(sqlite3 "$work/data/Vantor2026.sqlite" "SELECT count(*) FROM recordings WHERE duration_sec > 0")
[[ $files -eq 1 && $rows -eq 1 ]] || fail "$files files and $rows rows instead of one each"

# systemd-analyze wants the program the units start to exist: copies pointed at the unpacked one.
mkdir -p "$work/units" "$work/runtime"
for unit in system/vantor2026@.service user/vantor2026.service; do
  sed "s|/usr/bin/vantor2026|$root/usr/bin/vantor2026|" "$root/usr/lib/systemd/$unit" \
    >"$work/units/$(basename "$unit")"
done
said=$(systemd-analyze verify "$work/units/vantor2026@studio1.service" 2>&1) ||
  fail "systemd-analyze verify: $said"
[[ -z "$said" ]] || fail "systemd-analyze verify (system unit): $said"
said=$(XDG_RUNTIME_DIR=$work/runtime systemd-analyze --user verify "$work/units/vantor2026.service" 2>&1) ||
  fail "systemd-analyze --user verify: $said"
[[ -z "$said" ]] || fail "systemd-analyze verify (user unit): $said"
echo "package $(basename "$deb"): contents, dependencies, a recorded hour and both units checked"
