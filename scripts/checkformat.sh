#!/usr/bin/env bash
# Fails, listing them, when clang-format (the repository's .clang-format) would change any of
# the tracked C++ files. Fix one with `clang-format -i FILE`.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
report=$(git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror 2>&1) ||
    status=$?
# One "FILE:LINE:COL: error: code should be clang-formatted" per change.
differ=$(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' \
    <<<"$report" | sort -u)
if [ -n "$differ" ]; then
    echo "clang-format would change these files:" >&2
    sed 's/^/  /' <<<"$differ" >&2
    exit 1
elif [ "$status" -ne 0 ]; then
    echo "$report" >&2
    exit "$status"
fi
echo "format check passed"
