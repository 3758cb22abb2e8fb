#!/usr/bin/env bash
# The ahx tool as whole processes, this tree against an older revision, interleaved on one machine:
#
#   bench/compare/compare_tool.sh REVISION [ROUNDS]
#
# Builds REVISION's tool in a temporary git worktree and this tree's (Release; NEW_BUILD=FOLDER
# takes an existing build of this tree instead), then, ROUNDS times (at least 5) with the sides
# alternating: `ahx render SONG --seconds 60 -o -` of a 4-channel AHX song and of a 16-channel
# worst case (each run the average of 10 processes), and this tree converting 40 modules to FLAC
# with -j 1 and -j 2. Prints medians. Then checks that both sides write the same bytes for several
# songs and options, and compares `ahx info --loudness` of the demo songs with ffmpeg's ebur128
# filter, an independent EBU R128 meter, when ffmpeg is installed.
set -euo pipefail

. "$(dirname "$0")/revision_worktree.sh"

build_tool() {  # source build-folder log targets...
  local source=$1 build=$2 log=$3
  shift 3
  if ! { cmake -S "$source" -B "$build" -DCMAKE_BUILD_TYPE=Release -DAHX_BUILD_TESTS=OFF -DAHX_BUILD_BENCH=OFF &&
         cmake --build "$build" -j "$jobs" --target "$@"; } >"$log" 2>&1; then
    cat "$3" >&2
    exit 1
  fi
}
echo "building $revision and this tree..." >&2
build_tool "$work/old" "$work/build-old" "$work/build-old.log" ahx
if [ -n "${NEW_BUILD:-}" ]; then
  new_build=$(cd "$NEW_BUILD" && pwd)
else
  new_build=$work/build-new
  build_tool "$tree" "$new_build" "$work/build-new.log" ahx write_bench_songs
fi
old_tool=$work/build-old/ahx
new_tool=$new_build/ahx

songs=$work/songs
mkdir -p "$songs" "$work/batch"
"$new_build/bench/write_bench_songs" "$songs" >/dev/null
cp "$tree/demo/demo.hvl" "$tree/demo/jingle.ahx" "$songs/"
for i in $(seq -w 1 10); do
  for song in demo.hvl jingle.ahx four_voices.ahx worst_case.hvl; do cp "$songs/$song" "$work/batch/$i-$song"; done
done

now() { date +%s%N; }
# Milliseconds per process, the average of count runs of the command.
per_run() {  # count command...
  local count=$1 start end
  shift
  start=$(now)
  for _ in $(seq "$count"); do "$@" >/dev/null; done
  end=$(now)
  awk -v t=$((end - start)) -v n="$count" 'BEGIN { printf "%.3f", t / n / 1e6 }'
}
convert() {  # jobs
  rm -rf "$work/flac"
  per_run 1 "$new_tool" render -j "$1" "$work"/batch/* -o "$work/flac/" --format flac
}

results=$work/results
: >"$results"
for round in $(seq 1 "$rounds"); do
  echo "round $round of $rounds" >&2
  for side in old new; do
    if [ $((round % 2)) -eq 0 ]; then side=$([ "$side" = old ] && echo new || echo old); fi
    tool=$work/build-$side/ahx
    [ "$side" = new ] && tool=$new_tool
    echo "0 $side $(per_run 10 "$tool" render "$songs/four_voices.ahx" --seconds 60 -o -)" >>"$results"
    echo "1 $side $(per_run 10 "$tool" render "$songs/worst_case.hvl" --seconds 60 -o -)" >>"$results"
  done
  for j in 1 2; do
    if [ $((round % 2)) -eq 0 ]; then j=$((3 - j)); fi
    echo "2 j$j $(convert "$j")" >>"$results"
  done
done

median() {  # index side
  awk -v i="$1" -v s="$2" '$1 == i && $2 == s { print $3 }' "$results" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
printf '%-58s %10s %10s %8s\n' "median of $rounds rounds (ms per process)" before after speed-up
row() {  # name index before-side after-side
  awk -v name="$1" -v a="$(median "$2" "$3")" -v b="$(median "$2" "$4")" \
    'BEGIN { printf "%-58s %10.2f %10.2f %8.2f\n", name, a, b, a / b }'
}
row "render 60 s, 4-channel AHX ($revision -> this tree)" 0 old new
row "render 60 s, 16-channel worst case ($revision -> this tree)" 1 old new
row "40 modules to FLAC (this tree, -j 1 -> -j 2)" 2 j1 j2
echo "every value, round by round: index side value" >&2
cat "$results" >&2

echo "same bytes from both sides:"
same=0 differ=0
for options in "" "--fade 3" "--separation 60 --fade 1.5" "--separation 200 --stereo 4" "--song all --fade 2" \
               "--stems --separation 150" "--loops 2 --fade 7 --rate 48000"; do
  for song in four_voices.ahx worst_case.hvl demo.hvl jingle.ahx; do
    rm -rf "$work/cmp-old" "$work/cmp-new"
    # shellcheck disable=SC2086  # options are several words
    "$old_tool" render "$songs/$song" $options -o "$work/cmp-old/" >/dev/null 2>&1
    # shellcheck disable=SC2086
    "$new_tool" render "$songs/$song" $options -o "$work/cmp-new/" >/dev/null 2>&1
    if diff -r "$work/cmp-old" "$work/cmp-new" >/dev/null; then same=$((same + 1)); else
      differ=$((differ + 1))
      echo "  DIFFERENT: $song $options"
    fi
  done
done
echo "  $same renders identical, $differ different"

if command -v ffmpeg >/dev/null; then
  echo "integrated loudness, ahx info --loudness vs ffmpeg ebur128 (LUFS; ffmpeg prints one decimal):"
  for song in demo.hvl jingle.ahx; do
    ours=$("$new_tool" info --json --loudness "$songs/$song" | sed -n 's/.*"loudnessLufs":\(-\{0,1\}[0-9.]*\).*/\1/p')
    "$new_tool" render "$songs/$song" -o "$work/$song.wav" >/dev/null
    theirs=$(ffmpeg -nostdin -nostats -hide_banner -i "$work/$song.wav" -af ebur128=peak=true -f null - 2>&1 |
      sed -n '/Summary/,$s/^ *I: *\(-\{0,1\}[0-9.]*\) LUFS/\1/p')
    awk -v s="$song" -v a="$ours" -v b="$theirs" \
      'BEGIN { d = a - b; if (d < 0) d = -d; printf "  %-12s %8.2f %8.2f  difference %.2f LU%s\n", s, a, b, d, d <= 0.1 ? "" : "  (over 0.1)" }'
  done
else
  echo "ffmpeg is not installed: the loudness comparison is skipped"
fi
