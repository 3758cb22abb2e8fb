#!/bin/sh
# Breaks the code on purpose, one fault at a time, and records whether the test suite notices.
# Every fault is a literal text replacement in the first file (under its folder) that holds the
# text, so files may move without the list going stale; a fault whose text is gone is reported
# as "absent" instead of silently passing.
#
#   scripts/inject-faults.sh [REV]       (REV: the commit to test, default HEAD)
#
# Works in a scratch worktree (FAULT_TREE, default /tmp/ahx-faults) with its own release build, and
# restores every file after each fault, so this tree is never touched. WEB=1 also runs the web
# player's node tests for the faults in web/ (emscripten and the browsers must be installed);
# ONLY=REGEX tries just the faults whose names match.
# Prints one line per fault and a summary; results also land in FAULT_TREE/faults.txt.
set -u
repo=$(git rev-parse --show-toplevel)
rev=${1:-HEAD}
tree=${FAULT_TREE:-/tmp/ahx-faults}
build=$tree/build-faults
jobs=${JOBS:-2}

if [ ! -d "$tree" ]; then
  git -C "$repo" worktree add --detach "$tree" "$rev" >/dev/null || exit 2
else
  git -C "$tree" checkout --quiet --detach --force "$rev" || exit 2
fi
git -C "$tree" checkout --quiet -- .
cmake -S "$tree" -B "$build" -DCMAKE_BUILD_TYPE=Release -DAHX_WERROR=ON -DAHX_BUILD_TOOL=ON \
  -DAHX_BUILD_TESTS=ON -DAHX_BUILD_BENCH=OFF >/dev/null || exit 2
cmake --build "$build" -j "$jobs" >/dev/null || { echo "the unbroken tree does not build"; exit 2; }
ctest --test-dir "$build" -j "$jobs" --timeout 600 >/dev/null || { echo "the unbroken tree fails its tests"; exit 2; }
# The web tests read the page and engine as the web build gathers them, so a web fault is rebuilt
# there and compared with this tree's native build.
if [ "${WEB:-0}" = 1 ]; then
  (cd "$tree" && emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DAHX_WERROR=ON >/dev/null &&
   cmake --build build-web -j "$jobs" >/dev/null && cd web && npm ci --no-audit --no-fund --loglevel=error >/dev/null) ||
    { echo "the web build does not build"; exit 2; }
fi

# name @@ folder @@ text @@ replacement
faults() {
  cat <<'EOF'
wave-filter-coefficient @@ waves @@ base += 3.0; @@ base += 4.0;
wave-noise-rotate @@ waves @@ (x >> bits) | (x << (32 - bits)) @@ (x >> bits) | (x << (31 - bits))
loader-magic @@ loader @@ "THX", kMagicBytes @@ "THY", kMagicBytes
loader-limit-off-by-one @@ loader @@ limit.foundValue > limit.limitValue @@ limit.foundValue >= limit.limitValue
loader-perf-waveform-mend @@ loader @@ entry->waveform <= kHighestPerfWaveform @@ entry->waveform < kHighestPerfWaveform
loader-wave-length-clamp @@ loader @@ waveLength <= kHighestWaveLength ? @@ waveLength < kHighestWaveLength ?
loader-filter-upper-mask @@ loader @@ b[19] & 0x3F @@ b[19] & 0x7F
loader-trailing-bytes @@ loader @@ if (dataEnd < byteCount) @@ if (dataEnd + 1 < byteCount)
loader-undefined-instrument @@ loader @@ step.instrument > tune->instrumentCount @@ step.instrument >= tune->instrumentCount
replay-fine-slide-sign @@ replay @@ voice->periodOffset - x @@ voice->periodOffset + x
replay-master-volume @@ replay @@ param - 0x50 @@ param - 0x4F
replay-note-cut-bound @@ replay @@ ticks >= tune->tempo @@ ticks > tune->tempo
replay-held-transpose-version @@ replay @@ x == 1 && tune->formatVersion != 0 @@ x == 1 && tune->formatVersion != 9
replay-track-break-row @@ replay @@ step < tune->trackLength ? step : 0 @@ step < tune->trackLength ? step + 1 : 0
replay-next-track-wrap @@ replay @@ tune->positionCount ? 0 : tune->positionIndex + 1 @@ tune->positionCount ? tune->positionIndex : tune->positionIndex + 1
replay-vibrato-shift @@ replay @@ (sine * voice->vibratoDepth) >> 7 @@ (sine * voice->vibratoDepth) >> 6
replay-square-stride @@ replay @@ 32u >> voice->waveLength @@ 16u >> voice->waveLength
replay-missed-step-reset @@ replay @@     tune->nextStepIndex = 0;
    tune->nextPositionIndex = 0; @@     tune->nextPositionIndex = 0;
mixer-ring-shift @@ mixer @@ * samples[position >> 16]) >> 7) @@ * samples[position >> 16]) >> 6)
mixer-stem-gain-shift @@ mixer @@ (static_cast<int64_t>(sum) * mixGain) >> 8 @@ (static_cast<int64_t>(sum) * mixGain) >> 7
mixer-swapped-halves @@ mixer @@ leftHalf | rightHalf << 16 : @@ rightHalf | leftHalf << 16 :
mixer-right-shift @@ mixer @@ right[i] += (int32_t{values[i]} * scaleRight) >> 7; @@ right[i] += (int32_t{values[i]} * scaleRight) >> 8;
lib-select-song-bound @@ lib @@ song > player->tune->subsongCount @@ song >= player->tune->subsongCount
lib-restart-frame-reset @@ lib @@     player->frame = 0;
 @@ 
lib-float-scale @@ lib @@ kFullScale = 32768.0f @@ kFullScale = 32767.0f
lib-loops-count @@ lib @@ ++endsSeen == loops @@ ++endsSeen == loops + 1
lib-stereo-mode-range @@ lib @@ stereo_mode) < kStereoModeCount @@ stereo_mode) <= kStereoModeCount
lib-keyframe-last-span @@ lib @@ std::memcpy(snapshot, static_cast<const uint8_t*>(record) + spans.start[i], spans.bytes[i]); @@ if (i < 2) std::memcpy(snapshot, static_cast<const uint8_t*>(record) + spans.start[i], spans.bytes[i]);
lib-voice-mask @@ lib @@ mask & kAllVoices @@ mask & kAllVoices & ~1u
plugin-length-seconds @@ plugin @@ wholeSeconds * int64_t{kOutputFrequency} @@ (wholeSeconds + 1) * int64_t{kOutputFrequency}
plugin-song-count @@ plugin @@ info->songCount = stream->tune->subsongCount + 1 @@ info->songCount = stream->tune->subsongCount
tool-check-exit @@ host @@ findings ? kExitFindings : kExitSuccess @@ findings ? kExitSuccess : kExitSuccess
tool-info-json-field @@ host @@ \"restartPosition\": @@ \"restart\":
tool-info-exit @@ host @@ allGood ? kExitSuccess : kExitFileError @@ allGood ? kExitSuccess : kExitSuccess
tool-stem-name @@ host @@ "-ch" + std::to_string(channel) @@ "-ch" + std::to_string(channel + 1)
tool-song-name @@ host @@ "-song" + std::to_string(SongNumber(*songOfAll)) @@ "-s" + std::to_string(SongNumber(*songOfAll))
web-sample-rate-field @@ web @@ sampleRate >>> 0, true); @@ sampleRate >>> 1, true);
web-select-song @@ web @@ ahx_select_song(this.#handle, song >>> 0) @@ ahx_select_song(this.#handle, 0)
tool-play-interrupted @@ host @@ if (end == PlayEnd::kInterrupted) return kExitInterrupted; @@ if (end == PlayEnd::kInterrupted) return kExitSuccess;
EOF
}

# One folder per fault under $list, holding its name, folder, text and replacement as files, so
# that texts keep their newlines and backslashes.
list=$(mktemp -d)
trap 'rm -rf "$list"' EXIT
faults | LIST=$list perl -e '
  local $/; my $all = <STDIN>; my $i = 100;
  for my $r (split /\n(?=[a-z0-9-]+ @@ )/, $all) {
    my @f = split / @@ /, $r, 4; $f[3] //= ""; $f[3] =~ s/\n\z//;
    my $d = "$ENV{LIST}/" . $i++; mkdir $d;
    for my $k (0 .. 3) { open my $h, ">", "$d/$k" or die; print $h $f[$k]; close $h; }
  }'
results=$tree/faults.txt
: >"$results"
for entry in "$list"/*; do
  name=$(cat "$entry/0")
  if [ -n "${ONLY:-}" ] && ! printf '%s\n' "$name" | grep -Eq "$ONLY"; then continue; fi
  folder=$(cat "$entry/1")
  first=$(head -n 1 "$entry/2")
  file=$(cd "$tree" && git grep -l -F -e "$first" -- "$folder" | head -n 1)
  [ -n "$file" ] && ENTRY=$entry perl -0pi -e '
    BEGIN { local $/; open my $h, "<", "$ENV{ENTRY}/2"; $o = <$h>; open $h, "<", "$ENV{ENTRY}/3"; $n = <$h>; }
    s/\Q$o\E/$n/' "$tree/$file"
  if [ -z "$file" ] || git -C "$tree" diff --quiet; then
    echo "absent  $name" | tee -a "$results"
    continue
  fi
  detail=
  if [ "$folder" = web ]; then
    if [ "${WEB:-0}" != 1 ]; then verdict=skipped
    elif ! cmake --build "$tree/build-web" -j "$jobs" >/dev/null 2>&1; then verdict=nobuild
    elif (cd "$tree/web" && AHX_BUILD_DIR=$build AHX_WEB_BUILD_DIR=$tree/build-web \
          node --test test/*.test.mjs >/dev/null 2>&1); then verdict=missed
    else verdict=caught
    fi
  elif ! cmake --build "$build" -j "$jobs" >/dev/null 2>&1; then
    verdict=nobuild
  else
    # Without the timings of earlier runs ctest starts the tests in the order they are defined,
    # the quick engine tests first, so that a caught fault stops the run early.
    rm -f "$build/Testing/Temporary/CTestCostData.txt"
    failed=$(ctest --test-dir "$build" -j "$jobs" --timeout 600 --stop-on-failure 2>/dev/null |
             sed -n 's/^.*Test *#[0-9]*: \([a-z_0-9]*\) .*\(Failed\|Exception\|Timeout\|Child aborted\).*/\1/p' |
             tr '\n' ' ')
    if [ -n "$failed" ]; then verdict=caught; detail="($failed)"; else verdict=missed; fi
  fi
  echo "$verdict  $name  $file $detail" | tee -a "$results"
  git -C "$tree" checkout --quiet -- .
done
git -C "$tree" checkout --quiet -- .
cmake --build "$build" -j "$jobs" >/dev/null 2>&1
[ "${WEB:-0}" = 1 ] && cmake --build "$tree/build-web" -j "$jobs" >/dev/null 2>&1
tried=$(grep -cv '^absent' "$results")
caught=$(grep -c '^caught' "$results")
echo "faults: $tried applied, $caught caught, $(grep -c '^missed' "$results") missed, $(grep -c '^absent' "$results") absent"
