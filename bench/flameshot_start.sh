#!/bin/bash
# Flameshot's start, for the benchmark: its tray program started until it
# owns its D-Bus name (from then on `flameshot gui` and `flameshot full`
# reach it), and its resident memory two seconds later. Run inside a D-Bus
# session (dbus-run-session) on the benchmark's X display; prints one JSON
# line per round, the first round cold (nothing of Flameshot's in memory
# but what the page cache kept), the others warm.
#   flameshot_start.sh ROUNDS
set -euo pipefail
rounds=$1
owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.flameshot.Flameshot 2>/dev/null | grep -q true
}
for ((n = 0; n < rounds; n++)); do
  t0=$(date +%s%N)
  /usr/bin/flameshot >/dev/null 2>&1 &
  pid=$!
  deadline=$((t0 + 30000000000))
  until owned; do
    if (($(date +%s%N) > deadline)); then
      echo "flameshot did not start" >&2
      kill "$pid"
      exit 1
    fi
  done
  t1=$(date +%s%N)
  sleep 2
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  while owned; do sleep 0.01; done
  echo "{\"ms\":$(((t1 - t0) / 1000))e-3,\"rss_kb\":$rss}"
done
