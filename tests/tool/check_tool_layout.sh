#!/bin/sh
# The tool's rooms: no include cycle between its files (a file and its header count as one), no
# room reaching into another (common into none, the commands only into common), and each external
# library only in the room that links it.
set -eu
cd "$1"
edges=$(grep -rHo '^#include "[^"]*"' --include='*.h' --include='*.cpp' . | sed 's|^\./||; s|:#include "| |; s|"$||' |
  while read -r file included; do
    [ -f "$included" ] || continue  # the library's header and generated files
    from=${file%.*} to=${included%.*}
    [ "$from" = "$to" ] || echo "$from $to"
  done)
echo "$edges" | tsort >/dev/null 2>"${TMPDIR:-/tmp}/tool_layout.$$" || {
  cat "${TMPDIR:-/tmp}/tool_layout.$$"; rm -f "${TMPDIR:-/tmp}/tool_layout.$$"; echo "include cycle"; exit 1; }
rm -f "${TMPDIR:-/tmp}/tool_layout.$$"
crossing=$(echo "$edges" | grep -E '^(common/[^ ]* (render|inspect|play)/|inspect/[^ ]* (render|play)/|render/[^ ]* (inspect|play)/|play/[^ ]* (render|inspect)/)' || true)
[ -z "$crossing" ] || { echo "a room reaches into another: $crossing"; exit 1; }
misplaced=$(grep -rlE '^#include <(sndfile|SDL|curses)\.h>' common inspect || true)
misplaced="$misplaced$(grep -rlE '^#include <(SDL|curses)\.h>' render || true)"
[ -z "$misplaced" ] || { echo "an external library outside its room: $misplaced"; exit 1; }
echo "$(echo "$edges" | wc -l) includes between the tool's files, no cycle, rooms kept"
