#!/usr/bin/env bash
# Runs the adapter lookup, cross-compiled for Windows, under Wine against registry keys written
# beforehand with Wine's own reg tool. One fresh prefix, booted once, serves every case.
# Usage: run-getusbt-check.sh CHECK_EXE   (exit 77 = skipped: wine or the cross compiler absent)
set -uo pipefail
source "$(dirname "$0")/../support/missing-tool.sh"

check_exe=${1:-}
if ! command -v wine >/dev/null 2>&1 || ! command -v wineserver >/dev/null 2>&1; then
    missing_tool "wine is not installed"
fi
if [ -z "$check_exe" ] || [ ! -f "$check_exe" ]; then
    missing_tool "no check program: the mingw-w64 cross compiler was missing at configure time"
fi

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/nuvora-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
export DISPLAY=
cleanup() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
# A CTest timeout sends TERM: leave through the EXIT trap so no Wine server outlives the test.
trap 'exit 143' TERM INT

failures=0
step=0
note() { printf '\n== %s\n' "$*"; }
# The registry tool and the check program; a failing set-up step counts as a failure. Wine's
# reg now and then fails to start on a loaded machine: a set-up step gets three tries.
reg() {
    local out
    for _ in 1 2 3; do
        out=$(wine reg "$@" 2>&1) && return 0
        sleep 1
    done
    echo "FAIL: reg $*: ${out//$'\r'/}"
    failures=$((failures + 1))
}
check() {
    step=$((step + 1))
    local output status=0
    output=$(wine "$check_exe" "$@" 2>/dev/null) || status=$?
    [ -z "$output" ] || printf "%s\n" "${output//$'\r'/}"
    if [ "$status" -ne 0 ]; then
        echo "  (step $step: check $1 failed with status $status)"
        failures=$((failures + 1))
    fi
}

SERVICE='HKLM\SYSTEM\CurrentControlSet\Services\FTSER2K\Enum'
INSTANCE='FTDIBUS\VID_0403+PID_6001+A50285BI\0000'
DEVICE="HKLM\\SYSTEM\\CurrentControlSet\\Enum\\$INSTANCE\\Device Parameters"

echo "booting a fresh Wine prefix in $WINEPREFIX"
start=$(date +%s)
# One server for the whole run, started before anything else so that it is the one every step
# talks to (each step then skips the server start-up).
wineserver -p >/dev/null 2>&1
wine wineboot --init >/dev/null 2>&1
echo "prefix ready after $(($(date +%s) - start)) s"

note "FTDI driver not installed: no service key"
check expect ""

note "service key without value 0"
reg add "$SERVICE" /f
check expect ""

note "value 0 names a device whose key is missing"
reg add "$SERVICE" /v 0 /t REG_SZ /d "$INSTANCE" /f
check expect ""

note "device key without PortName"
reg add "$DEVICE" /v PollingPeriod /t REG_DWORD /d 16 /f
check expect ""

note "driver-service route finds the port (configuration-manager route lists no device)"
reg add "$DEVICE" /v PortName /t REG_SZ /d COM7 /f
check expect COM7

note "PortName of 300 bytes (299 characters and the terminator) counts as missing"
long299=$(printf 'C%.0s' $(seq 299))
reg add "$DEVICE" /v PortName /t REG_SZ /d "$long299" /f
check expect ""

note "PortName of exactly 255 bytes still fits; 256 do not"
long254=$(printf 'D%.0s' $(seq 254))
reg add "$DEVICE" /v PortName /t REG_SZ /d "$long254" /f
check expect "$long254"
reg add "$DEVICE" /v PortName /t REG_SZ /d "${long254}D" /f
check expect ""

note "PortName stored without terminator keeps every character"
reg add "$DEVICE" /v PortName /t REG_BINARY /d 434F4D33 /f
check expect COM3
reg add "$DEVICE" /v PortName /t REG_SZ /d COM7 /f

X0='FTDIBUS\VID_0403+PID_6001+X0\0000'
X1='FTDIBUS\VID_0403+PID_6001+X1\0000'
X2='FTDIBUS\VID_0403+PID_6001+X2\0000'
reg add 'HKLM\Enum\ftdibus\vid_0403+pid_6001\0000' /v PortName /t REG_SZ /d COM11 /f
reg add "HKLM\\Enum\\$X0" /v PollingPeriod /t REG_DWORD /d 16 /f
reg add "HKLM\\Enum\\$X1" /v PortName /t REG_SZ /d COM9 /f
reg add "HKLM\\Enum\\$X2" /v PortName /t REG_SZ /d COM10 /f

note "configuration-manager route: an FTDI device named only in lower case does not match"
check dyn COM7 C29A0001 'ftdibus\vid_0403+pid_6001\0000'

note "configuration-manager route: the first FTDI device wins over the driver service"
check dyn COM9 C29A0001 'ROOT\*PNP0501\0000' C29A0002 "$X1" C29A0003 "$X2"

note "configuration-manager route: first FTDI device without PortName falls back to the service"
check dyn COM7 C29A0001 "$X0" C29A0002 "$X2"

note "service key removed while the configuration-manager device has no port"
reg delete 'HKLM\SYSTEM\CurrentControlSet\Services\FTSER2K' /f
check dyn "" C29A0001 "$X0"
check expect ""

echo
if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all $step checks passed"
