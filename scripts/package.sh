#!/usr/bin/env bash
# Builds flamehost_<version>_<arch>.deb from a Release build in build-release/ (reused when
# there) and checks it with lintian, desktop-file-validate and appstreamcli. Prints the
# package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-release

# Tests and benches are not shipped: the Release build needs neither Qt Test nor GoogleTest.
bash scripts/setup.sh "$build" -DCMAKE_BUILD_TYPE=Release -DFLAMEHOST_TESTS=OFF \
    -DFLAMEHOST_BENCHES=OFF >&2
rm -f "$build"/flamehost_*.deb
(cd "$build" && cpack -G DEB >&2)
deb=$(ls "$build"/flamehost_*.deb)

desktop-file-validate packaging/flamehost.desktop >&2
appstreamcli validate --no-net "$build"/packaging/*.metainfo.xml >&2
# Errors and warnings fail it: a warning that must stay goes into --suppress-tags here and
# into the README's packaging section, with why.
lintian --fail-on error,warning "$deb" >&2
realpath "$deb"
