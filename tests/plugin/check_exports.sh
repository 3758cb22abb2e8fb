#!/bin/sh
# ahx.kpl must make exactly its 14 entry points visible and need nothing beyond the C and C++
# runtime, since Kestrel loads it into its own process.
set -eu
plugin="$1"
[ "$(basename "$plugin")" = ahx.kpl ] || { echo "the plug-in must be named ahx.kpl, not $(basename "$plugin")"; exit 1; }
expected="CloseStream ClosePlugin FreeLibrary GetBaseTable GetCommands GetConstants GetExtensions
GetFormatName GetHelpStrings InitLibrary InitPlugin OpenStream SeekStream StreamSamples"
actual=$(nm -D --defined-only "$plugin" | awk '{print $NF}' | sort | tr '\n' ' ')
wanted=$(echo $expected | tr ' ' '\n' | sort | tr '\n' ' ')
if [ "$actual" != "$wanted" ]; then
  echo "exports differ"; echo "  expected: $wanted"; echo "  actual:   $actual"; exit 1
fi
needed=$(readelf -d "$plugin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
for library in $needed; do
  case "$library" in
    libc.so.*|libm.so.*|libstdc++.so.*|libgcc_s.so.*|ld-linux*) ;;
    *) echo "unexpected dependency: $library"; exit 1 ;;
  esac
done
echo "exports and dependencies as expected"
