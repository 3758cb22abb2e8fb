#!/bin/sh
# Installs the build into a temporary prefix and builds the example against it twice, through
# pkg-config and through find_package (shared and static); every build must render the same WAV,
# whose samples equal the installed tool's raw render.
set -eu
build=$1 source=$2 cc=$3 flags=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
prefix=$work/prefix
module=$source/demo/jingle.ahx

cmake --install "$build" --prefix "$prefix" >/dev/null
pc=$(find "$prefix" -name ahx.pc)
[ -n "$pc" ] || { echo "no ahx.pc installed"; exit 1; }
libdir=$(dirname "$(dirname "$pc")")
export PKG_CONFIG_PATH="$(dirname "$pc")"
[ "$(pkg-config --modversion ahx)" = "$("$prefix/bin/ahx" --version | cut -d' ' -f2)" ] ||
  { echo "ahx.pc and ahx --version disagree"; exit 1; }

# shellcheck disable=SC2086 # flags and pkg-config output are word lists
$cc $flags -o "$work/render_wav_pc" "$source/examples/render_wav.c" $(pkg-config --cflags --libs ahx)
LD_LIBRARY_PATH=$libdir "$work/render_wav_pc" "$module" "$work/pkg-config.wav"

cmake -S "$source/examples" -B "$work/example" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/example" >/dev/null
"$work/example/render_wav" "$module" "$work/find-package.wav"
"$work/example/render_wav_static" "$module" "$work/static.wav"
if ldd "$work/example/render_wav_static" | grep -q libahx; then
  echo "render_wav_static links libahx dynamically"; exit 1
fi

"$prefix/bin/ahx" render "$module" --stereo 0 -o - > "$work/tool.raw"  # the library's default mode
[ -s "$work/tool.raw" ] || { echo "the installed tool rendered nothing"; exit 1; }
for wav in pkg-config find-package static; do
  tail -c +45 "$work/$wav.wav" | cmp -s - "$work/tool.raw" || { echo "$wav.wav differs from the tool's render"; exit 1; }
done
for file in include/ahx/ahx.h include/ahx/ahx_version.h lib/ahx/ahx.kpl; do
  [ -n "$(find "$prefix" -path "*/$file")" ] || { echo "$file not installed"; exit 1; }
done
echo "installed, found by pkg-config and find_package, shared and static render alike"
