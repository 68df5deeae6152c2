#!/usr/bin/env bash
# Runs flamehost --simulate under Xvfb and saves screenshots of the splash, the main screen
# and what its keys open, one fresh run per key. Needs xvfb, xdotool and imagemagick.
# Usage: scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
build=$(realpath "${1:-build}")
out=${2:-/tmp/flamehost-shots}
mkdir -p "$out"

# shot NAME SPLASH KEY WAIT: start, wait for the main screen, press KEY, wait, take NAME.png.
shot() {
    local name=$1 splash=$2 key=$3 wait=$4 data
    data=$(mktemp -d)
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
        args=(--simulate --data-dir "$1"); [ "$2" = yes ] || args+=(--no-splash)
        "$0/bin/flamehost" "${args[@]}" & app=$!
        if [ "$2" = yes ]; then sleep 4; else sleep 2; fi
        if [ -n "$3" ]; then
            xdotool search --onlyvisible --name "Ostrix" windowfocus 2>/dev/null || true
            xdotool key "$3"
        fi
        sleep "$4"
        import -window root "$5"
        kill $app
    ' "$build" "$data" "$splash" "$key" "$wait" "$out/$name.png"
    rm -rf "$data"
}

shot splash yes "" 0
shot main no "" 1
shot bit no b 0.8
shot setup no s 1.5
shot newaddr no a 1.5
shot tuning no F12 0.05
shot password no F11 1
echo "screenshots in $out"
