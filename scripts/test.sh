#!/usr/bin/env bash
# Set up, then build and run the whole suite twice: a normal build and an ASan+UBSan build;
# in between, build the Debian package and run the programs unpacked from it.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

bash scripts/setup.sh build
(cd build && ctest --output-on-failure -j"$jobs")

bash scripts/checkpackage.sh

bash scripts/setup.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DFLAMEHOST_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j"$jobs")
