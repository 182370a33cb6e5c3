#!/usr/bin/env bash
# A copy of the tree with one upward include and one Qt include in the Qt-free lookup: the
# layering check must fail and name both files and lines.
set -euo pipefail
root=${1:?usage: check-layers-catches.sh SOURCE_ROOT}
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp -r "$root/src" "$root/cli" "$root/tools" "$copy/"
line=$(( $(wc -l < "$copy/src/serial/SerialLine.cpp") + 1 ))
echo '#include "commands/PortMenu.h"' >> "$copy/src/serial/SerialLine.cpp"
qline=$(( $(wc -l < "$copy/src/serial/GetUSBT.cpp") + 1 ))
echo '#include <QString>' >> "$copy/src/serial/GetUSBT.cpp"
if out=$(bash "$(dirname "$0")/check-layers.sh" "$copy"); then
    echo "the check passed a tree with an upward include"; exit 1
fi
grep -q "^src/serial/SerialLine.cpp:$line: serial may not include \"commands/PortMenu.h\"" <<<"$out" ||
    { echo "upward include not named with its line:"; echo "$out"; exit 1; }
grep -q "^src/serial/GetUSBT.cpp:$qline: " <<<"$out" ||
    { echo "Qt include in the lookup not named:"; echo "$out"; exit 1; }
echo "the check names both"
