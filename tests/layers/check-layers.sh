#!/usr/bin/env bash
# Holds the layers: every #include "..." under src/, cli/ and tools/ must point to a folder that
# its own folder may use. Prints each offending include with its file and line; exit 1 if any.
set -uo pipefail
root=${1:?usage: check-layers.sh SOURCE_ROOT}
cd "$root" || exit 2

# The one table of allowed edges: a folder (a room) and the rooms its files may include.
# base is the floor; the engines know only base, except where data flows (transfer drives the
# serial line); commands drive the engines; the front ends sit on top. The simulator shares
# the frame protocol with the exchange and nothing else.
declare -A allowed=(
    [base]="base"
    [settings]="base settings"
    [image]="base image"
    [lang]="base lang"
    [serial]="base serial"
    [transfer]="base serial transfer"
    [commands]="base settings image lang serial transfer commands"
    [ui]="base settings image lang serial transfer commands ui"
    [main]="base commands ui"
    [cli]="base settings image lang serial transfer commands cli"
    [devsim]="devsim protocol version"
    [icon]="icon" # the build's icon converter: Qt only, nothing of ours
)
# Headers that engines may not include even though their folder is below: an engine returns
# results, the commands decide what the operator sees.
no_prompter="settings image lang serial transfer"
# Plain C++ that must cross-compile without Qt.
qt_free='^src/serial/(GetUSBT\.|RegistryApi\.h|win32/)'

# room_of FILE: the room a source file lives in.
room_of() {
    case $1 in
    src/main.cpp) echo main ;;
    src/*/*) local rest=${1#src/}; echo "${rest%%/*}" ;;
    cli/*) echo cli ;;
    tools/devsim/*) echo devsim ;;
    tools/icon/*) echo icon ;;
    *) echo "?" ;;
    esac
}

# target_room INCLUDE FROM_ROOM: the room an include names; a bare name is in the same room.
target_room() {
    case $1 in
    transfer/FrameProtocol.h) [ "$2" = devsim ] && { echo protocol; return; } ;;
    base/VersionText.h) [ "$2" = devsim ] && { echo version; return; } ;;
    esac
    case $1 in
    */*) echo "${1%%/*}" ;;
    Version.h) echo base ;;  # generated from base/Version.h.in
    *) echo "$2" ;;
    esac
}

bad=0
report() { printf '%s:%s: %s\n' "$1" "$2" "$3"; bad=1; }

while IFS= read -r file; do
    from=$(room_of "$file")
    if [ -z "${allowed[$from]+x}" ]; then
        report "$file" 1 "in no known layer: add its folder to the table in check-layers.sh"
        continue
    fi
    while IFS=: read -r line text; do
        inc=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/' <<<"$text")
        to=$(target_room "$inc" "$from")
        case " ${allowed[$from]} " in
        *" $to "*) ;;
        *) report "$file" "$line" "$from may not include \"$inc\" ($to)" ;;
        esac
        if [ "$inc" = base/Prompter.h ] && [[ " $no_prompter " == *" $from "* ]]; then
            report "$file" "$line" "an engine talks to no operator: \"$inc\""
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
    if [[ $file =~ $qt_free ]]; then
        grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$file" |
            while IFS=: read -r line _; do
                printf '%s:%s: the adapter lookup stays plain C++ (no Qt)\n' "$file" "$line"
            done | grep . && bad=1
    fi
done < <(find src cli tools -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

[ $bad -eq 0 ] && echo "layers hold"
exit $bad
