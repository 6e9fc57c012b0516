#!/usr/bin/env bash
# Installs everything the build, the tests and the demo run need on Debian 12
# (amd64, as root). Safe to run again: it installs only what is missing.
set -euo pipefail

PACKAGES=(
  # cross toolchain and libraries
  g++-mingw-w64-i686-posix libz-mingw-w64-dev cmake make googletest
  # running Windows programs on a virtual display
  wine wine32:i386 wine64 fonts-wine fonts-liberation xvfb xdotool imagemagick
  # test and benchmark peers
  nginx openssl ca-certificates curl aria2 python3 time procps file
)

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: run as root (apt-get is needed)" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture"
  dpkg --add-architecture i386
  NEED_UPDATE=1
fi

missing=()
for pkg in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$pkg")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# The nginx package starts a system-wide server on port 80 where an init
# system exists; tests start their own instances, so keep it out of the way.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet nginx 2>/dev/null; then
  systemctl stop nginx || true
  systemctl disable nginx >/dev/null 2>&1 || true
fi
echo "setup: done"
