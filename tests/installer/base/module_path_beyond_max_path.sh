#!/usr/bin/env bash
# A program stored deeper than MAX_PATH must still see its whole module path
# (the log and lock names are derived from it). Wine's CreateProcess refuses
# such paths from the Windows side, so the program is started from here.
# Usage: module_path_beyond_max_path.sh <record_args.exe> <work folder>
set -euo pipefail
exe=$1
work=$2
rm -rf "$work"
folder=$work
while [ ${#folder} -lt 320 ]; do folder=$folder/a_rather_long_folder_name_for_the_test; done
mkdir -p "$folder"
cp "$exe" "$folder/record_args.exe"
record_win=$(winepath -w "$work/record.txt" 2>/dev/null)
status=0
wine "$folder/record_args.exe" "$record_win" || status=$?
[ "$status" -eq 7 ] || { echo "record_args ended with $status"; exit 1; }
# winepath itself cuts at MAX_PATH: build the name on drive Z: (the Linux root).
expected="Z:${folder//\//\\}\\record_args.exe"
reported=$(head -n 1 "$work/record.txt")
rm -rf "$work"
if [ "$reported" != "$expected" ]; then
  echo "expected: $expected"
  echo "reported: $reported"
  exit 1
fi
echo "module path of ${#reported} characters reported whole"
