#!/usr/bin/env bash
# Installs the Debian package, uses what it installed as a user would, and removes it again.
# Run as root by ./run test: apt-get and the switch to an unprivileged user need it.
# Usage: check-package.sh PACKAGE.deb
set -euo pipefail
DEB=$(readlink -f "${1:?usage: check-package.sh PACKAGE.deb}")
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
APP_ID=org.nuvora.Nuvora
PROGRAM_DIR=/opt/nuvora
NOBODY=(setpriv --reuid=65534 --regid=65534 --clear-groups)
export DEBIAN_FRONTEND=noninteractive

[ "$(id -u)" -eq 0 ] || { echo "check-package.sh: run it as root"; exit 1; }
work=$(mktemp -d)
chmod 755 "$work"
sim=
cleanup() {
    [ -z "$sim" ] || kill "$sim" 2>/dev/null || true
    apt-get remove -y -qq nuvora >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
step() { printf '== %s\n' "$*"; }

if dpkg-query -W -f='${Status}' nuvora 2>/dev/null | grep -q 'install ok installed'; then
    echo "note: removing the nuvora package installed before this check"
    apt-get remove -y -qq nuvora >/dev/null
fi
step "install $(basename "$DEB") ($(du -k "$DEB" | cut -f1) KiB)"
apt-get install -y -qq --no-install-recommends "$DEB" >/dev/null
version=$(dpkg-query -W -f='${Version}' nuvora)
echo "Depends: $(dpkg-query -W -f='${Depends}' nuvora)"

step "the command-line programs run from the PATH, anywhere"
cd "$work"
[ "$(command -v nuvora-cli)" = /usr/bin/nuvora-cli ] || fail "nuvora-cli is not /usr/bin/nuvora-cli"
# --version once the CLI has it; until then its help must at least work.
if out=$(nuvora-cli --version 2>&1); then
    [[ $out == *"$version"* ]] || fail "nuvora-cli --version says '$out', the package is $version"
else
    nuvora-cli --help | grep -q '^usage: nuvora-cli' || fail "nuvora-cli --help"
fi
nuvora-devsim --help >/dev/null || fail "nuvora-devsim --help"

step "program the simulator as an unprivileged user through an alias of the user's own"
# The words come from the installed Italiano.lng, found through the /usr/bin link: built-in
# English would mean the link led the program astray.
cp "$ROOT/data/sample.mhx" "$work/"
nuvora-devsim --dump "$work/eeprom.bin" >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
pty=$(head -n1 "$work/sim.out")
chmod o+rw "$pty"
user=("${NOBODY[@]}" env -i HOME="$work/user" PATH=/usr/bin:/bin)
mkdir "$work/user" && chown 65534:65534 "$work/user"
"${user[@]}" nuvora-cli ports --alias 7 "$pty" >/dev/null || fail "nuvora-cli ports --alias"
[ -L "$work/user/.config/Nuvora/ports/COM7" ] || fail "no alias in the user's ~/.config/Nuvora"
out=$("${user[@]}" nuvora-cli program "$work/sample.mhx" --port 7 --lang Italiano 2>&1) \
    || fail "nuvora-cli program: status $?: $out"
[[ $out == *"Programmazione completata"* ]] || fail "not worded in Italian: $out"
kill "$sim" && wait "$sim" 2>/dev/null || true
sim=
nuvora-cli info "$work/sample.mhx" --dump "$work/image.bin" >/dev/null
cmp -s -n "$(stat -c %s "$work/image.bin")" "$work/image.bin" "$work/eeprom.bin" \
    || fail "the EEPROM does not hold the image"

step "the window starts offscreen as an unprivileged user; its settings go to that user"
home=$work/home
mkdir "$home" && chown 65534:65534 "$home"
status=0
"${NOBODY[@]}" env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen \
    timeout 5 "$(sed -n 's/^Exec=//p' /usr/share/applications/$APP_ID.desktop)" \
    >"$work/window.log" 2>&1 || status=$?
# The window runs until it is closed: the timeout ending it is the expected outcome.
[ "$status" -eq 124 ] || fail "the window ended with status $status: $(cat "$work/window.log")"
[ -f "$home/.config/Nuvora/nuvora.ini" ] || fail "no nuvora.ini in the user's ~/.config/Nuvora"
[ ! -e "$PROGRAM_DIR/nuvora.ini" ] || fail "settings written into the program folder"

step "desktop entry, metainfo, icons, manual pages and completion"
desktop-file-validate "/usr/share/applications/$APP_ID.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "/usr/share/metainfo/$APP_ID.metainfo.xml" >"$work/as.log" 2>&1 \
    || fail "appstreamcli validate: $(cat "$work/as.log")"
for size in 32 64 128; do
    file "/usr/share/icons/hicolor/${size}x$size/apps/$APP_ID.png" \
        | grep -q "PNG image data, $size x $size" || fail "no ${size}x$size PNG icon"
done
for page in nuvora-cli nuvora-devsim; do
    [ "$(man -w "$page" 2>/dev/null)" = "/usr/share/man/man1/$page.1.gz" ] || fail "man $page"
done
bash -c 'source /usr/share/bash-completion/completions/nuvora-cli && complete -p nuvora-cli' \
    >/dev/null || fail "the bash completion does not load"

step "remove"
cd /
apt-get remove -y -qq nuvora >/dev/null
for f in /usr/bin/nuvora /usr/bin/nuvora-cli /usr/bin/nuvora-devsim "$PROGRAM_DIR/Nuvora"; do
    [ ! -e "$f" ] && [ ! -L "$f" ] || fail "$f is still there after the removal"
done

[ "$failures" -eq 0 ] || { echo "$failures package check(s) failed"; exit 1; }
echo "package checks passed"
