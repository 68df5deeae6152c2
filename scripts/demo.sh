#!/usr/bin/env bash
# Set up, build and start flamehost on the built-in simulated detectors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build
exec build/bin/flamehost --simulate "$@"
