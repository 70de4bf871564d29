#!/usr/bin/env bash
# Sets up, builds, starts the local radar service and then the program
# against it. The service stops when the program ends.
#
# NIMBREL_REPLAY=DIR ./scripts/run.sh has the service replay the recorded
# event in DIR (radar_service --replay DIR) instead of the generated rain.
set -euo pipefail
replay="${NIMBREL_REPLAY:+$(realpath -m "$NIMBREL_REPLAY")}"
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh
bin="build/bin"

if [ -n "$replay" ]; then
  "$bin/radar_service" --port 8642 --replay "$replay" &
else
  "$bin/radar_service" --port 8642 &
fi
service_pid=$!
trap 'kill "$service_pid" 2>/dev/null || true' EXIT
# Give the service a moment to listen before the first download.
for _ in $(seq 1 50); do
  if (exec 3<>/dev/tcp/127.0.0.1/8642) 2>/dev/null; then break; fi
  sleep 0.1
done
if [ -n "$replay" ] && ! kill -0 "$service_pid" 2>/dev/null; then
  echo "radar_service did not start with --replay $replay" >&2
  exit 1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: starting the program under Xvfb on :99."
  Xvfb :99 -screen 0 1920x1080x24 >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$service_pid" "$xvfb_pid" 2>/dev/null || true' EXIT
  export DISPLAY=:99
  sleep 1
fi
"$bin/nimbrel"
