#!/usr/bin/env bash
# Regenerates data/sample.mhx: an 8 KiB message image of our own making (a greeting, a
# scrolling banner table and a counting pattern), written as S2 records by srec_cat:
#   srec_cat sample.bin -binary -execution-start-address=0 -o data/sample.mhx -motorola \
#       -address-length=3
# The start address only brings the end record (S8) that marks the file as whole.
set -euo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

{
    # 4 KiB of message text: one 64-byte line per message slot.
    for slot in $(seq 0 63); do
        printf '%-64.64s' "Nuvora message slot $slot: Good morning, platform $((slot % 12 + 1))."
    done
    # 4 KiB counting pattern, so that every byte value appears.
    for hi in $(seq 0 15); do
        for lo in $(seq 0 255); do
            printf "\\$(printf '%03o' $(((lo + hi) % 256)))"
        done
    done
} > "$TMP/sample.bin"

[ "$(stat -c %s "$TMP/sample.bin")" -eq 8192 ] || { echo "sample is not 8 KiB" >&2; exit 1; }
srec_cat "$TMP/sample.bin" -binary -execution-start-address=0 \
    -o "$ROOT/data/sample.mhx" -motorola -address-length=3
