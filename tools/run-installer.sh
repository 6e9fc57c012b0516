#!/usr/bin/env bash
# tools/run-installer.sh [seconds]
# Installs what is missing, builds the installer and runs it under Wine on a
# private virtual display with its embedded default resources. The installer
# runs until Enter is pressed (or for the given number of seconds), then it is
# told to quit; its log of this run and its exit code are printed.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}

bash "$ROOT/tools/setup.sh"
cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target Tidewell_setup installer_driver

seconds=${1:-}
if [ -z "$seconds" ] && [ ! -t 0 ]; then
  seconds=5   # nobody to press Enter
fi
exec "$ROOT/tools/wine-harness.sh" --build "$BUILD_DIR" \
  wine "$BUILD_DIR/bin/installer_driver.exe" "$BUILD_DIR/bin/Tidewell_setup.exe" $seconds
