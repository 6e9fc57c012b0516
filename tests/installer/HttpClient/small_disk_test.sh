#!/usr/bin/env bash
# small_disk_test.sh <emulator> <test.exe> [gtest arguments...]
#
# Runs the downloader's full-disk test on a real, small file system: a 12 MiB
# tmpfs mounted for this run only and named to the test in
# DOWNLOAD_TEST_SMALL_DISK. Mounting needs root and the right to mount; where
# that is missing the test is reported as skipped (exit code 77).
set -uo pipefail

emulator=$1
shift
disk=/tmp/tidewell-small-disk-$$

cleanup() {
  if mountpoint -q "$disk" 2>/dev/null; then umount "$disk" 2>/dev/null || umount -l "$disk"; fi
  rmdir "$disk" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 143' TERM INT

mkdir -p "$disk"
if [ "$(id -u)" -ne 0 ] || ! mount -t tmpfs -o size=12m,mode=0777 tidewell-small-disk "$disk" 2>/dev/null; then
  echo "small_disk_test: cannot mount a small file system here (needs root and mount rights); skipped"
  exit 77
fi

DOWNLOAD_TEST_SMALL_DISK=$disk "$emulator" "$@"
