#!/usr/bin/env bash
# Every C++ file of ours is formatted as .clang-format says; prints the offending lines.
set -uo pipefail
root=${1:?usage: check-format.sh SOURCE_ROOT}
cd "$root" || exit 2
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 1; }
mapfile -t files < <(find src cli tools tests fuzz bench -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
if clang-format --dry-run -Werror "${files[@]}"; then
    echo "${#files[@]} files formatted"
else
    echo "run: clang-format -i \$(git ls-files '*.cpp' '*.h')"
    exit 1
fi
