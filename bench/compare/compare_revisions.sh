#!/usr/bin/env bash
# Side-by-side speed of this working tree and an older revision on one machine, in one run.
#
#   bench/compare/compare_revisions.sh REVISION [ROUNDS]
#
# Builds REVISION in a temporary git worktree and this tree in a temporary build folder (both
# Release), builds speed_probe.cpp against each, writes the songs once with this tree's builder,
# then runs every workload ROUNDS times (at least 5), alternating the two builds on each, and prints
# the median of each side and old/new. Interleaving keeps a busy spell on a shared machine from
# landing on one side only. Each probe run itself reports the median of 7 repetitions.
set -euo pipefail

. "$(dirname "$0")/revision_worktree.sh"

# side source-folder: engine, plug-in and stand-in host from that tree, then the probe against them.
build_side() {
  local side=$1 source=$2 build=$work/build-$1
  # Options a revision does not know are ignored by it.
  if ! { cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DAHX_BUILD_TESTS=OFF \
            -DAHX_BUILD_TOOL=OFF && cmake --build "$build" -j "$jobs" --target ahxengine ahx_kpl kestrelhost; } \
       >"$work/build-$side.log" 2>&1; then
    cat "$work/build-$side.log" >&2
    exit 1
  fi
  g++ -std=c++20 -O2 -I"$source" "$tree/bench/compare/speed_probe.cpp" \
    "$build/libahxengine.a" "$build/host/kestrel/libkestrelhost.a" -ldl -o "$work/probe-$side"
}
echo "building $revision and this tree..." >&2
build_side old "$work/old"
build_side new "$tree"
cmake --build "$work/build-new" -j "$jobs" --target write_bench_songs >/dev/null
mkdir "$work/songs"
"$work/build-new/bench/write_bench_songs" "$work/songs"
cp "$tree/demo/demo.hvl" "$work/songs/demo.hvl"

# name | probe arguments (PLUGIN stands for the side's own plug-in)
workloads=(
  "decode 4-channel AHX (us per s of audio)|decode $work/songs/four_voices.ahx 10"
  "decode 8-channel demo song (us per s of audio)|decode $work/songs/demo.hvl 10"
  "decode 16-channel worst case (us per s of audio)|decode $work/songs/worst_case.hvl 5"
  "load the largest module (us)|load $work/songs/largest.hvl"
  "BuildWaveTables (ms)|wavetables"
  "open a plug-in stream, demo song (us)|open $work/songs/demo.hvl PLUGIN"
)

results=$work/results
: >"$results"
for round in $(seq 1 "$rounds"); do
  echo "round $round of $rounds" >&2
  for index in "${!workloads[@]}"; do
    arguments=${workloads[$index]#*|}
    for side in old new; do
      # Alternate which side goes first, so neither always runs on a warmer machine.
      if [ $(((round + index) % 2)) -eq 1 ]; then side=$([ "$side" = old ] && echo new || echo old); fi
      value=$("$work/probe-$side" ${arguments//PLUGIN/$work/build-$side/ahx.kpl} 2>/dev/null)
      echo "$index $side $value" >>"$results"
    done
  done
done

median() {  # index side
  awk -v i="$1" -v s="$2" '$1 == i && $2 == s { print $3 }' "$results" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

printf '%-52s %12s %12s %8s\n' "median of $rounds rounds, $revision vs this tree" old new old/new
for index in "${!workloads[@]}"; do
  old=$(median "$index" old)
  new=$(median "$index" new)
  awk -v name="${workloads[$index]%%|*}" -v old="$old" -v new="$new" \
    'BEGIN { printf "%-52s %12.3f %12.3f %8.2f\n", name, old, new, old / new }'
done
echo "every value, round by round: index side value" >&2
cat "$results" >&2
