#!/usr/bin/env bash
# Installs what is missing, builds, prepares the demo folder (SQLite database,
# simulated line) and starts the server with demo calls. With a desktop the
# server and a client open their windows; without one the server runs headless
# and the calls are shown as they reach the call journal. Ctrl+C ends the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/build.sh
BUILD_DIR=${BUILD_DIR:-build}
DEMO_DIR=${DEMO_DIR:-$PWD/demo}
"$BUILD_DIR/tools/demo-setup/vorsa-demo-setup" --dir "$DEMO_DIR"

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ -n "${DISPLAY:-}" ] && [ -z "${VORSA_HEADLESS:-}" ]; then
  "$BUILD_DIR/server/VorsaSrv" --dir "$DEMO_DIR" & pids+=($!)
  sleep 2
  if [ -x "$BUILD_DIR/client/VorsaCl" ]; then
    "$BUILD_DIR/client/VorsaCl" --dir "$DEMO_DIR" & pids+=($!)
  fi
else
  echo "Kein Bildschirm (DISPLAY): der Server läuft ohne Fenster."
  "$BUILD_DIR/server/VorsaSrv" --headless --dir "$DEMO_DIR" & pids+=($!)
fi
sleep 2
log="$DEMO_DIR/VorsaSvr.log"
touch "$log"
# The call log is written in Windows-1252; show it in the terminal's UTF-8.
tail -n 0 -f "$log" | while IFS= read -r line; do printf '%s\n' "$line" | iconv -f WINDOWS-1252 -t UTF-8; done &
pids+=($!)

if [ -x "$BUILD_DIR/examples/kundenstamm/Kundenstamm" ]; then
  echo "Kunden bearbeiten: $BUILD_DIR/examples/kundenstamm/Kundenstamm --dir $DEMO_DIR"
fi
echo "Demo-Anrufe werden eingespielt (Ctrl+C beendet die Demo) ..."
while true; do
  while read -r number; do
    [ -n "$number" ] || continue
    "$BUILD_DIR/tools/vorsa-call/vorsa-call" --dir "$DEMO_DIR" 0521999 "$number" || true
    sleep 4
  done <"$DEMO_DIR/demo-calls.txt"
  sleep 30  # past the repeat window, so the same callers are shown again
done
