#!/usr/bin/env bash
# The demo command. On a fresh Debian 12 (as root, or with sudo) it installs what is missing, builds
# the program into build/, creates a demo station on SQLite files in demo/ (or the folder given) and
# runs the integration on it once, from three days back up to today.
#
#   bash scripts/demo.sh [DIR]
#
# Afterwards: build/src/carvela --dir DIR opens the tray program on the same station
# (QT_QPA_PLATFORM=offscreen or xvfb-run where there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
station="$(realpath -m "${1:-demo}")"
build="${CARVELA_BUILD_DIR:-build}"

bash scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${CARVELA_JOBS:-2}" --target carvela

"$build/src/carvela" --demo "$station"
"$build/src/carvela" --once --dir "$station" --date "$(date -d '3 days ago' +%F)"
echo "demo.sh: the station in $station is up to date"
