#!/usr/bin/env bash
# Applies deliberate faults to the product one at a time and reports which ones the named test
# targets catch: a measure of the suite's strength while it is trimmed.
#
#   scripts/mutants.sh LIST TARGET...
#
# LIST holds one fault a line, "path|sed expression|what it breaks" (path from the source root;
# blank lines and lines starting with # are skipped). Each fault is applied in place, so that the
# build stays incremental; only TARGET... are rebuilt and only the CTest tests of those names
# run. The file is put back byte for byte after every fault, also on an interrupt.
# Environment: BUILD (default build), TEST_TIMEOUT seconds per test (default 60), ONLY (an
# extended regular expression: only the faults whose line matches it), QUICK=1 (tests two at a
# time, stopping at the first failure: faster, but names only the first suite that caught).
set -uo pipefail
ROOT=$(cd "$(dirname "$(readlink -f "$0")")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
TEST_TIMEOUT=${TEST_TIMEOUT:-60}
QUICK_ARGS=()
[ -n "${QUICK:-}" ] && QUICK_ARGS=(-j2 --stop-on-failure)

if [ $# -lt 2 ]; then
    echo "usage: $0 LIST TARGET..." >&2
    exit 2
fi
LIST=$(readlink -f "$1")
shift
TARGETS=("$@")
REGEX="^($(IFS='|'; echo "${TARGETS[*]}"))\$"
cd "$ROOT" || exit 2

# One run at a time: two runs would build each other's faults.
exec 9>"$BUILD/.mutants.lock"
if ! flock -n 9; then
    echo "another mutant run holds $BUILD/.mutants.lock" >&2
    exit 2
fi

BACKUP=$(mktemp)
MUTATED=$(mktemp)
TARGET_FILE=
restore() {
    [ -n "$TARGET_FILE" ] || return 0
    if cmp -s "$TARGET_FILE" "$MUTATED"; then
        # A plain copy gives a new time stamp, so that the next build compiles the original.
        cat "$BACKUP" >"$TARGET_FILE"
    else
        # Someone edited the file meanwhile: keep their text, keep ours for a person to compare.
        cp "$BACKUP" "$TARGET_FILE.before-mutant"
        echo "WARNING: $TARGET_FILE changed under the fault; original kept in" \
            "$TARGET_FILE.before-mutant" >&2
    fi
    TARGET_FILE=
}
cleanup() {
    restore
    rm -f "$BACKUP" "$MUTATED"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

build() { nice cmake --build "$BUILD" --target "${TARGETS[@]}" >"$BUILD/.mutant-build.log" 2>&1; }
run_tests() {
    ctest --test-dir "$BUILD" -R "$REGEX" --timeout "$TEST_TIMEOUT" "${QUICK_ARGS[@]}" >"$BUILD/.mutant-test.log" 2>&1
}

if ! build || ! run_tests; then
    echo "the unchanged tree does not build or pass; see $BUILD/.mutant-build.log" \
        "and $BUILD/.mutant-test.log" >&2
    exit 2
fi

caught=0 missed=0 invalid=0
missed_list=()
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in '' | '#'*) continue ;; esac
    if [ -n "${ONLY:-}" ] && ! grep -qE -- "$ONLY" <<<"$line"; then continue; fi
    path=${line%%|*}
    what=${line##*|}
    expr=${line#*|}
    expr=${expr%|*}
    if [ ! -f "$path" ]; then
        echo "INVALID  $path: no such file ($what)"
        invalid=$((invalid + 1))
        continue
    fi
    cp "$path" "$BACKUP"
    if ! sed -e "$expr" "$BACKUP" >"$MUTATED" || cmp -s "$BACKUP" "$MUTATED"; then
        echo "INVALID  $path: '$expr' changes nothing ($what)"
        invalid=$((invalid + 1))
        continue
    fi
    TARGET_FILE=$path
    cat "$MUTATED" >"$path"
    if ! build; then
        verdict=INVALID
        why="does not build"
        invalid=$((invalid + 1))
    elif run_tests; then
        verdict=MISSED
        why=
        missed=$((missed + 1))
        missed_list+=("$path|$expr|$what")
    else
        verdict=CAUGHT
        why=$(grep -E '^ *[0-9]+% tests passed|Failed|Timeout' "$BUILD/.mutant-test.log" |
            grep -oE 'test_[a-z_]+' | sort -u | tr '\n' ' ')
        caught=$((caught + 1))
    fi
    restore
    printf '%-8s %s: %s %s\n' "$verdict" "$path" "$what" "${why:+($why)}"
done <"$LIST"

# Leave the build as the unchanged tree makes it. A build that someone else ran meanwhile may
# have compiled a fault into an object newer than the restored file: new time stamps settle it.
cut -d'|' -f1 "$LIST" | grep -v '^#' | sort -u | while read -r f; do [ -f "$f" ] && touch "$f"; done
build || echo "WARNING: rebuilding the unchanged tree failed" >&2
total=$((caught + missed))
if [ "$invalid" -gt 0 ]; then
    echo "caught $caught of $total ($invalid invalid)"
else
    echo "caught $caught of $total"
fi
for m in "${missed_list[@]}"; do echo "  missed: $m"; done
[ "$missed" -eq 0 ]
