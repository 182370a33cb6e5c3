#!/usr/bin/env bash
# The manual pages and the bash completion against the programs themselves: every option that
# a program's --help lists is in its manual page and offered by the completion, which offers
# nothing else; every exit status of a command's help is in the manual page; the pages render
# without a warning; the completion takes ports, languages and images from the right places.
# Usage: check-docs.sh BIN_DIR PACKAGING_SOURCE_DIR GENERATED_PAGES_DIR
set -uo pipefail
BIN=$1 SRC=$2 PAGES=$3
source "$(dirname "$0")/../support/missing-tool.sh"
command -v man >/dev/null || missing_tool "man is not installed (Debian package man-db)"
export LC_ALL=C.UTF-8
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
options() { grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }
in_page() { grep -qF -- "${2//-/\\-}" "$SRC/$1.1.in"; } # the page writes "-" as "\-"

source "$SRC/nuvora-cli.bash"
# What the completion offers when the last word is the one being completed.
offered() {
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1))
    _nuvora_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

commands=$("$BIN/nuvora-cli" --help | sed -n 's/^  \([a-z][a-z-]*\)\b.*/\1/p' | sort)
[ -n "$commands" ] || fail "no commands in nuvora-cli --help"
want=$(printf '%s\n' $commands --help | sort)
[ "$(offered nuvora-cli '')" = "$want" ] || fail "completed commands: $(offered nuvora-cli '')"
for command in $commands; do
    help=$("$BIN/nuvora-cli" "$command" --help) || fail "nuvora-cli $command --help"
    [ "$(offered nuvora-cli "$command" --)" = "$(options <<<"$help")" ] \
        || fail "$command: completion offers $(offered nuvora-cli "$command" -- | xargs)"
    in_page nuvora-cli "$command" || fail "nuvora-cli.1 lacks the command $command"
    for option in $(options <<<"$help"); do
        in_page nuvora-cli "$option" || fail "nuvora-cli.1 lacks $command $option"
    done
    for status in $(sed -n '/^exit status/,$p' <<<"$help" | grep -oE '\b[0-9]+ [a-z]' | cut -d' ' -f1); do
        grep -qx ".B $status" "$SRC/nuvora-cli.1.in" || fail "nuvora-cli.1 lacks exit status $status"
    done
done
for option in $("$BIN/nuvora-devsim" --help | options); do
    in_page nuvora-devsim "$option" || fail "nuvora-devsim.1 lacks $option"
done
for page in nuvora-cli nuvora-devsim; do
    warnings=$(man --warnings -E UTF-8 -l -Tutf8 -Z "$PAGES/$page.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
done

# A program folder of its own: aliases (one dangling: still a port the user meant), languages.
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/bin/ports" "$dir/images/sub"
printf '#!/bin/sh\n' >"$dir/bin/nuvora-cli" && chmod +x "$dir/bin/nuvora-cli"
touch "$dir/bin/English.lng" "$dir/bin/Italiano.lng" "$dir/images/a.mhx" "$dir/images/B.MHX" \
    "$dir/images/notes.txt"
ln -s /dev/null "$dir/bin/ports/COM7" && ln -s "$dir/gone" "$dir/bin/ports/COM12"
mkdir -p "$dir/config/Nuvora/ports" && ln -s /dev/null "$dir/config/Nuvora/ports/COM13"
export XDG_CONFIG_HOME=$dir/config
cd "$dir/images"
P=$dir/bin/nuvora-cli
while IFS='|' read -r expected words; do
    eval "set -- $words"
    got=$(offered "$@" | xargs)
    [ "$got" = "$expected" ] || fail "completing '$words': got '$got', expected '$expected'"
done <<'EOF_TABLE'
program|"$P" pro
English Italiano|"$P" program a.mhx --lang ''
12 13|"$P" program a.mhx --port 1
13|"$P" ports --unalias ''
B.MHX a.mhx sub|"$P" info ''
--sysfs|"$P" ports --s
EOF_TABLE

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "manual pages and completion agree with the programs"
