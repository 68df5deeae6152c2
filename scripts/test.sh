#!/usr/bin/env bash
# CI. Set up, then check from the quickest to the slowest, stopping at the first step that
# fails: the formatting; a normal build with warnings as errors; its unit suites (ctest label
# "quick": link, detector, logging, operations, ...); the slower suites (screens, whole
# programs); the Debian package, built and run unpacked; the whole suite again in a build
# with AddressSanitizer + UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen FLAMEHOST_WERROR=ON
jobs=$(nproc)

bash scripts/setup.sh --no-build
bash scripts/checkformat.sh

suites() { # build folder
    (cd "$1" && ctest --output-on-failure -j"$jobs" -L quick)
    (cd "$1" && ctest --output-on-failure -j"$jobs" -LE quick)
}

bash scripts/setup.sh build
suites build

bash scripts/checkpackage.sh

bash scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DFLAMEHOST_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
suites build-asan
