#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks, then builds into build/ (or the folder given
# as $1, with extra CMake arguments after it); with --no-build, only installs.
# FLAMEHOST_WERROR=ON in the environment makes every warning an error (CI).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(build-essential cmake pkg-config qt6-base-dev qt6-serialport-dev qt6-serialbus-dev
          # Qt Charts; Debian's charts package leaves out the OpenGL one its CMake files ask for
          qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins libgtest-dev fonts-liberation socat xvfb
          # the watch service: its MQTT library, and the broker, promtool and openssl its
          # tests run against
          libmosquitto-dev mosquitto mosquitto-clients prometheus openssl systemd
          # the report tests read the PDF's text back
          poppler-utils
          # bench/lean: a C Modbus master to compare with, and the system-call count
          mbpoll strace
          # the package and its checks (scripts/package.sh)
          dpkg-dev fakeroot file help2man lintian desktop-file-utils appstream
          # the format check (scripts/checkformat.sh)
          clang-format)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "${1:-}" = "--no-build" ] && exit 0
build_dir=${1:-build}
shift || true
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    ${FLAMEHOST_WERROR:+-DFLAMEHOST_WERROR=$FLAMEHOST_WERROR} "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
