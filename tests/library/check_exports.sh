#!/bin/sh
# libahx.so shows exactly the functions its header declares, carries a soname, and needs nothing
# beyond the C runtime (a sanitizer build also needs the C++ runtime: pass "sanitized").
set -eu
library=$1 header=$2 build=${3:-plain}
allowed='libc|libm|libgcc_s'
[ "$build" = sanitized ] && allowed="$allowed|libstdc\+\+"
wanted=$(sed -n 's/^AHX_API .*\b\(ahx_[a-z0-9_]*\)(.*/\1/p' "$header" | sort | tr '\n' ' ')
actual=$(nm -D --defined-only "$library" | awk '{print $NF}' | sort | tr '\n' ' ')
[ -n "$wanted" ] || { echo "no AHX_API declarations found in $header"; exit 1; }
[ "$actual" = "$wanted" ] || { echo "exports differ: expected $wanted; actual $actual"; exit 1; }
soname=$(readelf -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
case $soname in
  libahx.so.[0-9]*) ;;
  *) echo "unexpected soname '$soname'"; exit 1 ;;
esac
unexpected=$(readelf -d "$library" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' |
  grep -Ev "^($allowed)\\.so\\.|^ld-linux" || true)
[ -z "$unexpected" ] || { echo "unexpected dependencies: $unexpected"; exit 1; }
echo "exports, soname $soname and dependencies as expected"
