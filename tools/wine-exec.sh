#!/usr/bin/env bash
# Runs one Windows program inside the prefix that tools/wine-harness.sh prepared.
# CTest uses this as the cross-compiling emulator for every test executable.
if [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ] || [ -z "${HARNESS_ACTIVE:-}" ]; then
  echo "wine-exec: no Wine session; run the tests through tools/test.sh (or tools/wine-harness.sh <command>)" >&2
  exit 2
fi
exec wine "$@"
