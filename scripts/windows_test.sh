#!/bin/bash
# Cross-builds what the Windows build has so far (the audio engine and its
# tests) with mingw-w64 and runs the tests under wine:
#   scripts/windows_test.sh
# The dependencies and the wine prefix are kept in ~/.cache/sonavela-windows
# (or $SONAVELA_WINDOWS_CACHE) and reused.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${SONAVELA_WINDOWS_CACHE:-$HOME/.cache/sonavela-windows}
prefix=$("$here/scripts/windows_deps.sh" "$cache" | tail -1)
build=$here/build-windows
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" -DSONAVELA_WINDOWS_PREFIX="$prefix" \
    -DSONAVELA_WERROR=ON >/dev/null
cmake --build "$build" -j2
# A prefix of our own; no Mono or Gecko prompt when wine creates it.
export WINEPREFIX=$cache/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
(cd "$build" && ctest -L windows --output-on-failure --timeout 600)
echo "[OK] Windows build: engine tests passed under wine"
