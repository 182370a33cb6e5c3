#!/usr/bin/env bash
# The demo on a display: the Nuvora window with the device simulator as its serial port and
# the image (data/sample.mhx unless one is named) first in the recent-file list, one click from
# Ready. It runs in a program folder of its own (a copy of build/bin), leaving the build's
# settings alone.
set -euo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
BIN=$ROOT/build/bin
IMAGE=$(readlink -f "${1:-$ROOT/data/sample.mhx}")
PORT=7

WORK=$(mktemp -d "${TMPDIR:-/tmp}/nuvora-demo.XXXXXX")
SIM_PID=
cleanup() {
    if [ -n "$SIM_PID" ]; then
        kill "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

cp "$BIN/Nuvora" "$WORK/"
cp "$BIN"/*.lng "$WORK/"
[ -f "$BIN/VURUVEVI.ROD" ] && cp "$BIN/VURUVEVI.ROD" "$WORK/"
mkdir -p "$WORK/ports"

# The simulated device, paced like the real 19200-baud line, reachable as COM7.
"$BIN/nuvora-devsim" --baud 19200 --link "$WORK/ports/COM$PORT" --dump "$WORK/eeprom.bin" \
    >"$WORK/devsim.out" &
SIM_PID=$!
for _ in $(seq 50); do
    [ -e "$WORK/ports/COM$PORT" ] && break
    sleep 0.1
done
if [ ! -e "$WORK/ports/COM$PORT" ]; then
    echo "demo: the device simulator did not start" >&2
    exit 1
fi

LANGUAGE=English
[ -f "$WORK/$LANGUAGE.lng" ] || LANGUAGE=$(basename "$(ls "$WORK"/*.lng | head -n1)" .lng)
printf 'COM=%s\r\nLINGUA=%s\r\nFILE1=%s\r\nFILE2=\r\nFILE3=\r\nFILE4=\r\n' \
    "$PORT" "$LANGUAGE" "$IMAGE" >"$WORK/nuvora.ini"

echo "Nuvora is open: File > $IMAGE loads the image, then press Start."
echo "The device simulator answers on COM$PORT ($(head -n1 "$WORK/devsim.out" 2>/dev/null))."
"$WORK/Nuvora" || true

# What the device holds now, against the image.
kill "$SIM_PID" 2>/dev/null || true
wait "$SIM_PID" 2>/dev/null || true
SIM_PID=
if [ -f "$WORK/eeprom.bin" ] && "$BIN/nuvora-cli" info "$IMAGE" \
    --dump "$WORK/image.bin" >/dev/null 2>&1; then
    if cmp -s -n "$(stat -c %s "$WORK/image.bin")" "$WORK/image.bin" "$WORK/eeprom.bin"; then
        echo "The simulated EEPROM holds the image."
    else
        echo "The simulated EEPROM does not hold the image (was Start pressed?)."
    fi
fi
