#!/usr/bin/env bash
# Starts or stops the tests' private PulseAudio server:
#   scripts/pulse-test-server.sh start|stop <folder>
# The server listens on <folder>/native and offers a null sink "vantor_null" (its monitor
# source "vantor_null.monitor") and a 1 kHz sine source "vantor_sine". Everything it keeps
# stays in <folder>. As root it runs with a warning.
set -euo pipefail

action=${1:-}
dir=${2:-}
if [[ -z "$action" || -z "$dir" ]]; then
  echo "Gebruik: $0 start|stop <map>" >&2
  exit 2
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

export XDG_RUNTIME_DIR="$dir"
export PULSE_RUNTIME_PATH="$dir/runtime"
export PULSE_STATE_PATH="$dir/state"
export PULSE_SERVER="unix:$dir/native"
# Clients of this server never start a server of their own.
export PULSE_CLIENTCONFIG="$dir/client.conf"
echo "autospawn = no" >"$PULSE_CLIENTCONFIG"

stop_server() {
  local pidfile="$PULSE_RUNTIME_PATH/pid" pid
  [[ -f "$pidfile" ]] || return 0
  pid=$(<"$pidfile")
  if kill "$pid" 2>/dev/null; then
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$pidfile" "$dir/native"
}

case "$action" in
start)
  command -v pulseaudio >/dev/null || { echo "pulseaudio ontbreekt (scripts/install-deps.sh)" >&2; exit 1; }
  stop_server
  pulseaudio --daemonize=yes --exit-idle-time=-1 -n --use-pid-file=yes \
    --log-target="file:$dir/pulseaudio.log" \
    --load="module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
    --load="module-null-sink sink_name=vantor_null" \
    --load="module-sine-source source_name=vantor_sine frequency=1000"
  for _ in $(seq 100); do
    if pactl info >/dev/null 2>&1; then
      exit 0
    fi
    sleep 0.1
  done
  echo "De PulseAudio-testserver antwoordt niet; zie $dir/pulseaudio.log" >&2
  exit 1
  ;;
stop)
  stop_server
  ;;
*)
  echo "Gebruik: $0 start|stop <map>" >&2
  exit 2
  ;;
esac
