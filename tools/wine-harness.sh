#!/usr/bin/env bash
# tools/wine-harness.sh [--build DIR] <command...>
#
# Runs <command> inside a private Wine session: a 32-bit prefix kept in the
# build tree (created once, then reused), a virtual X display on a free number
# and one persistent wineserver. Whatever the harness starts it stops again by
# PID when the command ends, fails, hangs and is killed, or is interrupted.
#
# Exported to the command: WINEPREFIX, WINEARCH, WINEDEBUG, WINEDLLOVERRIDES,
# DISPLAY, HARNESS_ACTIVE=1, HARNESS_BUILD_DIR.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${HARNESS_BUILD_DIR:-$ROOT/build}
if [ "${1:-}" = "--build" ]; then
  BUILD_DIR=$2
  shift 2
fi
[ $# -gt 0 ] || { echo "usage: $0 [--build DIR] <command...>" >&2; exit 2; }
mkdir -p "$BUILD_DIR"
BUILD_DIR=$(cd "$BUILD_DIR" && pwd)

export WINEPREFIX=$BUILD_DIR/wineprefix
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HARNESS_BUILD_DIR=$BUILD_DIR
SCREEN=1280x1024

XVFB_PID=
SERVER_PID=
cleanup() {
  local rc=$?
  trap - EXIT INT TERM
  if [ -n "$SERVER_PID" ]; then
    wineserver -k >/dev/null 2>&1 || true
    kill "$SERVER_PID" 2>/dev/null || true
    wait "$SERVER_PID" 2>/dev/null || true
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

start_display() {
  local n
  for n in $(seq 90 250); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${SCREEN}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    # Lost a race for this number (or Xvfb failed): try the next one.
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  done
  echo "harness: no free X display" >&2
  return 1
}

# Registry settings that keep a prefix quick and hang-free: a virtual desktop
# the size of the screen (no window manager is running, and hiding a top-level
# window would otherwise cost seconds), no crash dialog (a crash would wait for
# a click forever), and fonts that GDI+ can find.
write_prefix_settings() {
  local reg=$BUILD_DIR/harness-settings.reg
  cat >"$reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="$SCREEN"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"Arial"="Liberation Sans"
"Times New Roman"="Liberation Serif"
"Courier New"="Liberation Mono"
REG
  wine regedit /S "$(winepath -w "$reg" 2>/dev/null)"
}

prepare_prefix() {
  local ready=$WINEPREFIX/.harness-ready
  [ -f "$ready" ] && return 0
  echo "harness: creating Wine prefix in $WINEPREFIX (once)" >&2
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  mkdir -p "$fonts"
  cp -f /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
  cp -f /usr/share/fonts/truetype/liberation/*.ttf "$fonts/" 2>/dev/null || true
  # The user folders are symlinks into $HOME: make them real, private folders.
  local user_dir
  for user_dir in "$WINEPREFIX"/drive_c/users/*/; do
    local link
    for link in "$user_dir"*; do
      if [ -L "$link" ]; then
        rm -f "$link"
        mkdir -p "$link"
      fi
    done
  done
  write_prefix_settings
  wineserver -w
  touch "$ready"
}

start_display
(
  # Several harness runs may share one build tree: create the prefix once.
  flock 9
  prepare_prefix
) 9>"$BUILD_DIR/.harness-prefix.lock"

# One persistent server for the whole run: each Windows process then starts in
# a fraction of a second. Its output must not hold the caller's pipes open.
wineserver -p >/dev/null 2>&1 </dev/null &
SERVER_PID=$!
# The first program of a session starts Wine's service processes, which would
# inherit (and hold open) the stdout pipe of whatever runs first: start them
# here with their output going nowhere.
# The desktop process (the virtual desktop's explorer) is started the same
# way by the first program that touches a window.
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
wine rundll32.exe user32.dll,MessageBeep >/dev/null 2>&1 </dev/null || true
export HARNESS_ACTIVE=1

"$@"
