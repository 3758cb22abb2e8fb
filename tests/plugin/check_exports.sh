#!/bin/sh
# ahx.kpl shows exactly its 14 entry points and needs nothing beyond the C and C++ runtime.
set -eu
[ "$(basename "$1")" = ahx.kpl ] || { echo "the plug-in must be named ahx.kpl, not $(basename "$1")"; exit 1; }
wanted=$(printf '%s\n' ClosePlugin CloseStream FreeLibrary GetBaseTable GetCommands GetConstants GetExtensions \
  GetFormatName GetHelpStrings InitLibrary InitPlugin OpenStream SeekStream StreamSamples | sort | tr '\n' ' ')
actual=$(nm -D --defined-only "$1" | awk '{print $NF}' | sort | tr '\n' ' ')
[ "$actual" = "$wanted" ] || { echo "exports differ: expected $wanted; actual $actual"; exit 1; }
unexpected=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' |
  grep -Ev '^(libc|libm|libstdc\+\+|libgcc_s)\.so\.|^ld-linux' || true)
[ -z "$unexpected" ] || { echo "unexpected dependencies: $unexpected"; exit 1; }
echo "exports and dependencies as expected"
