#!/usr/bin/env bash
# Runs flamehost under Xvfb and saves screenshots of the splash, the COM-port dialog, the main
# screen on the simulated bus and what its keys open, one fresh run per picture.
# Needs xvfb, xdotool and imagemagick.
# Usage: scripts/screenshots.sh [BUILD_DIR] [OUT_DIR]   (default: build docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out=$(realpath -m "${2:-docs/screenshots}")
mkdir -p "$out"

# shot NAME "OPTIONS" KEY WAIT: start flamehost with OPTIONS, give it time to come up, press
# KEY (if any), wait WAIT seconds, save NAME.png trimmed to what is on the screen.
shot() {
    local name=$1 options=$2 key=$3 wait=$4 data
    data=$(mktemp -d)
    xvfb-run -a -s "-screen 0 ${SCREEN:-1024x768}x24" bash -c '
        read -r -a opts <<< "$2"
        "$0/bin/flamehost" "${opts[@]}" --data-dir "$1" & app=$!
        case " $2 " in *" --no-splash "*) sleep 2.5 ;; *) sleep 3.5 ;; esac
        if [ -n "$3" ]; then
            xdotool search --onlyvisible --name "Ostrix" windowfocus 2>/dev/null || true
            xdotool key "$3"
        fi
        sleep "$4"
        import -window root -trim +repage "$5"
        kill $app
    ' "$build" "$data" "$options" "$key" "$wait" "$out/$name.png"
    rm -rf "$data"
}

shot splash "--simulate" "" 0
shot comsetup "--no-splash" "" 0
shot main "--simulate --no-splash" "" 1
shot bit "--simulate --no-splash" b 0.8
shot setup "--simulate --no-splash" s 1.5
shot newaddr "--simulate --no-splash" a 1.5
shot tuning "--simulate --no-splash" F12 0.05
shot password "--simulate --no-splash" F11 1
# The field tools on a larger screen: the traffic window beside the main screen, the bus
# overview after its whole default scan (about 16 s), the main screen's key help.
SCREEN=1280x1024 shot traffic "--simulate --no-splash" F9 3
SCREEN=1280x1024 shot overview "--simulate --no-splash" F7 20
SCREEN=1280x1024 shot keyhelp "--simulate --no-splash" F1 1
echo "screenshots in $out"
