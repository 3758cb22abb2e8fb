#!/bin/sh
# ahxdec through GStreamer's own programs: inspect, launch, discoverer, play, and an installed copy.
# Usage: gst_tools_test.sh AHX_TOOL PLUGIN SOURCE_DIR MODULE_FOLDER BUILD_DIR
set -eu
tool=$1 plugin=$2 source=$3 modules=$4 build=$5
work=$modules/tools
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAILED: $*" >&2; exit 1; }

gst-inspect-1.0 ahxdec >"$work/inspect.txt" || fail "gst-inspect-1.0 does not find ahxdec"
for property in current-subsong subsong-mode num-loops output-mode stereo-mode separation; do
  grep -q "^  $property " "$work/inspect.txt" || fail "gst-inspect-1.0 ahxdec lists no $property"
done
gst-inspect-1.0 --gst-fatal-warnings "$plugin" >/dev/null 2>"$work/inspect.err" && [ ! -s "$work/inspect.err" ] ||
  fail "inspecting the plug-in warns: $(cat "$work/inspect.err")"

# The sample data of a WAV file from wavenc: the data chunk after the 36-byte header, its size at 40.
pcm() {
  [ "$(dd if="$1" bs=1 skip=36 count=4 2>/dev/null)" = data ] || fail "$1: no data chunk at 36"
  tail -c +45 "$1" | head -c "$(od -An -tu4 -j40 -N4 "$1" | tr -d ' ')"
}
# NAME, the arguments of `ahx render`, then a pipeline that writes $work/NAME.wav.
same_samples() {
  name=$1 render=$2
  shift 2
  gst-launch-1.0 -q "$@" >"$work/$name.log" 2>&1 || fail "$name: $(cat "$work/$name.log")"
  "$tool" render $render --force -o "$work/$name.raw" >/dev/null
  pcm "$work/$name.wav" | cmp -s - "$work/$name.raw" || fail "$name: not the samples of ahx render $render"
}
hvl=$source/demo/demo.hvl ahx=$source/demo/jingle.ahx songs=$modules/songs.hvl
same_samples hvl "$hvl" filesrc location="$hvl" ! decodebin ! audioconvert ! wavenc ! filesink location="$work/hvl.wav"
same_samples ahx "$ahx" filesrc location="$ahx" ! decodebin ! audioconvert ! wavenc ! filesink location="$work/ahx.wav"
same_samples subsong "$songs --song 3" \
  filesrc location="$songs" ! ahxdec current-subsong=2 ! audioconvert ! wavenc ! filesink location="$work/subsong.wav"
same_samples width "$ahx --stereo 4 --separation 60" \
  filesrc location="$ahx" ! ahxdec stereo-mode=4 separation=60 ! wavenc ! filesink location="$work/width.wav"
# A sink that takes only 48000 Hz, without converters: the decoder renders at that rate.
same_samples rate "$ahx --rate 48000" playbin uri="file://$ahx" flags=audio+native-audio \
  audio-sink="capsfilter caps=audio/x-raw,rate=48000 ! wavenc ! filesink location=$work/rate.wav"

# Durations worked out by hand in builder/programs/write_test_modules.cpp.
gst-discoverer-1.0 -c "$songs" >"$work/songs.txt"
grep -q "Duration: 0:00:03.840000000" "$work/songs.txt" || fail "songs.hvl: not 3.84 s: $(cat "$work/songs.txt")"
grep -q "title: Three Songs$" "$work/songs.txt" || fail "songs.hvl: no title"
[ "$(grep -c "track: start: 0:00:00.000000000 stop: 0:00:0[0-9.]*$" "$work/songs.txt")" = 3 ] &&
  grep -q "stop: 0:00:01.920000000" "$work/songs.txt" && grep -q "stop: 0:00:00.960000000" "$work/songs.txt" ||
  fail "songs.hvl: not a table of three songs of 3.84, 1.92 and 0.96 s"
gst-discoverer-1.0 "$modules/stops.hvl" | grep -q "Duration: 0:00:00.240000000" || fail "stops.hvl: not over where it stops"

# Named by prefix, as modules often are: found by its header, not its name.
cp "$songs" "$work/hvl.songs"
timeout 60 gst-play-1.0 --audiosink=fakesink "$work/hvl.songs" >"$work/play.txt" 2>&1 &&
  grep -q "Reached end of play list" "$work/play.txt" || fail "gst-play-1.0 does not play to the end: $(cat "$work/play.txt")"

# Installed under a prefix, the plug-in is found there and finds libahx beside it.
cmake --install "$build" --prefix "$work/prefix" >/dev/null
installed=$(find "$work/prefix" -name libgstahx.so -path "*/gstreamer-1.0/*")
[ -n "$installed" ] || fail "cmake --install puts no libgstahx.so in a gstreamer-1.0 folder"
GST_PLUGIN_PATH=$(dirname "$installed") GST_REGISTRY=$work/installed.bin gst-inspect-1.0 ahxdec |
  grep -q "Filename *$installed" || fail "the installed plug-in does not load"
echo "gst_tools_test: passed"
