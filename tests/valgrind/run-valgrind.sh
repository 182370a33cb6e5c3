#!/usr/bin/env bash
# valgrind over one program against the device simulator: `cli` programs data/sample.mhx (8 KiB)
# with nuvora-cli, `window` starts the window on the device's port and closes it. Any memory
# error or leak fails.
set -euo pipefail
what=$1 bin=$2 driver=$3 source=$4
work=$(mktemp -d)
sim=
trap '[ -z "$sim" ] || kill "$sim" 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/prog"
"$bin/nuvora-devsim" --link "$work/prog/ports/COM1" >/dev/null &
sim=$!
for _ in $(seq 100); do [ -L "$work/prog/ports/COM1" ] && break; sleep 0.05; done
vg=(valgrind --error-exitcode=1 --leak-check=full --gen-suppressions=all)
case $what in
cli) "${vg[@]}" "$bin/nuvora-cli" program "$source/data/sample.mhx" --port "$work/prog/ports/COM1" ;;
window)
    cp "$bin/English.lng" "$work/prog/"
    "${vg[@]}" "$driver" "$work/prog" ;;
*) exit 2 ;;
esac
