#!/usr/bin/env bash
# Builds the package (scripts/package.sh), unpacks it into a temporary root and runs the
# unpacked programs as a menu would start them: working folder /, no terminal, a fresh home.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(bash scripts/package.sh | tail -n 1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
export HOME=$work/home XDG_DATA_HOME= XDG_CONFIG_HOME= QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
fail() { echo "package check: $*" >&2; exit 1; }

dpkg-deb -x "$deb" "$root"
for f in usr/bin/flamehost usr/bin/flamehost-cli usr/bin/flamehost-sim usr/bin/flamehost-watch \
         usr/share/flamehost/ostrixflamemov1.gif usr/share/applications/flamehost.desktop \
         usr/share/metainfo/org.example.flamehost.metainfo.xml \
         usr/share/icons/hicolor/scalable/apps/flamehost.svg \
         usr/share/icons/hicolor/48x48/apps/flamehost.png \
         usr/share/icons/hicolor/256x256/apps/flamehost.png \
         usr/share/man/man1/flamehost.1.gz usr/share/man/man1/flamehost-cli.1.gz \
         usr/share/man/man1/flamehost-sim.1.gz usr/share/man/man1/flamehost-watch.1.gz \
         usr/lib/systemd/system/flamehost-watch.service \
         usr/share/doc/flamehost/examples/watch.json usr/share/doc/flamehost/copyright; do
    [ -e "$root/$f" ] || fail "$f is not in the package"
done
before=$(find "$root" | sort)

version=$(sed -n 's/^project(flamehost VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for program in flamehost flamehost-cli flamehost-sim flamehost-watch; do
    out=$(cd / && "$root/usr/bin/$program" --version </dev/null)
    [ "$out" = "$program $version" ] || fail "$program --version says '$out'"
done
out=$(cd / && "$root/usr/bin/flamehost-cli" --simulate status </dev/null) ||
    fail "flamehost-cli --simulate status failed: $out"
echo "$out"
# The service takes its shipped example config (and opens nothing with --check).
out=$(cd / && "$root/usr/bin/flamehost-watch" --check \
    --config "$root/usr/share/doc/flamehost/examples/watch.json" </dev/null 2>&1) ||
    fail "flamehost-watch --check of the example config failed: $out"
echo "$out"

# The program started from a menu: its picture is found and copied into the per-user data
# folder; nothing is written beside the program, even when its folder is writable (root).
data=$HOME/.local/share/flamehost
(cd / && QT_LOGGING_RULES="flamehost.splash.info=true" exec "$root/usr/bin/flamehost" \
    --simulate) </dev/null >"$work/flamehost.log" 2>&1 &
host=$!
# The picture is read a second after start; a busy machine gets more time.
for _ in $(seq 60); do
    grep -q "splash picture" "$work/flamehost.log" && break
    sleep 0.25
done
sleep 1
kill -0 "$host" 2>/dev/null || fail "flamehost ended early: $(cat "$work/flamehost.log")"
kill "$host"
wait "$host" || true
grep -q "splash picture shown: $data/ostrixflamemov1.gif" "$work/flamehost.log" ||
    fail "flamehost did not show its splash picture: $(cat "$work/flamehost.log")"
[ "$(find "$root" | sort)" = "$before" ] || fail "flamehost wrote into its installed folders"
echo "package check passed: $(basename "$deb")"
