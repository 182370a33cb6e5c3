#!/usr/bin/env bash
# The main job on the bundled default: program data/sample.mhx into the device simulator over
# a pseudo-terminal paced like the real 19200-baud line, then prove that the simulator's EEPROM
# holds the image (padded with 0xFF to whole 16-byte blocks, erased beyond).
set -euo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
BIN=$ROOT/build/bin
IMAGE=${1:-$ROOT/data/sample.mhx}
PORT_NUMBER=7 # reached through the alias bin/ports/COM7, as a user's own adapter would be

# With a display, the window itself, wired to the simulator; without one (or with
# NUVORA_DEMO_TERMINAL=1), the terminal run below.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$BIN/Nuvora" ] \
    && [ -x "$BIN/nuvora-devsim" ] && [ "${NUVORA_DEMO_TERMINAL:-0}" != 1 ]; then
    exec "$ROOT/scripts/demo-window.sh" "$@"
fi

WORK=$(mktemp -d)
SIM_PID=
stop_simulator() {
    if [ -n "$SIM_PID" ] && kill -0 "$SIM_PID" 2>/dev/null; then
        kill -TERM "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    SIM_PID=
}
cleanup() {
    stop_simulator
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -p "$BIN/ports"
"$BIN/nuvora-devsim" --baud 19200 --link "$BIN/ports/COM$PORT_NUMBER" \
    --dump "$WORK/eeprom.bin" >"$WORK/sim.out" 2>"$WORK/sim.err" &
SIM_PID=$!
for _ in $(seq 100); do
    [ -s "$WORK/sim.out" ] && break
    kill -0 "$SIM_PID" 2>/dev/null || { cat "$WORK/sim.err" >&2; exit 1; }
    sleep 0.05
done
[ -s "$WORK/sim.out" ] || { echo "demo: the simulator did not start" >&2; exit 1; }
echo "demo: simulated device on $(head -n1 "$WORK/sim.out") (port COM$PORT_NUMBER), 19200 baud"

"$BIN/nuvora-cli" program "$IMAGE" --port "COM$PORT_NUMBER"

stop_simulator # writes the EEPROM dump
cat "$WORK/sim.err" >&2

"$BIN/nuvora-cli" info "$IMAGE" --dump "$WORK/image.bin" >/dev/null
size=$(stat -c %s "$WORK/image.bin")
{ cat "$WORK/image.bin"; head -c $((65536 - size)) /dev/zero | tr '\0' '\377'; } \
    >"$WORK/expected.bin"
if cmp -s "$WORK/expected.bin" "$WORK/eeprom.bin"; then
    echo "demo: the device's EEPROM holds the image ($size bytes, rest erased)"
else
    echo "demo: the device's EEPROM differs from the image:" >&2
    cmp "$WORK/expected.bin" "$WORK/eeprom.bin" >&2 || true
    exit 1
fi
