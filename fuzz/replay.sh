#!/bin/sh
# Runs a fuzz target once on every file in the given folders (a missing folder holds nothing).
set -eu
target=$1
shift
folders="$*"
set --
for folder in $folders; do
  [ -d "$folder" ] || continue
  for input in "$folder"/*; do
    [ -f "$input" ] && set -- "$@" "$input"
  done
done
[ $# -gt 0 ] || { echo "no inputs to replay for $target" >&2; exit 1; }
"$target" "$@"
echo "$# inputs replayed through $(basename "$target")"
