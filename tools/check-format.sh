#!/usr/bin/env bash
# Fails when a C++ source of the project differs from .clang-format; with
# --fix, formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
    echo "Sources differ from .clang-format: run tools/check-format.sh --fix (or cmake --build build --target format)." >&2
    exit 1
fi
