#!/bin/bash
# Cross-builds the Windows program, its tools and tests with mingw-w64, runs
# the unit tests under wine, then the integration tests under wine on a
# PulseAudio test server and a local HTTPS server of their own (the window
# on a virtual display), and packs the program:
#   scripts/windows_test.sh
# The dependencies and the wine prefix are kept in ~/.cache/sonavela-windows
# (or $SONAVELA_WINDOWS_CACHE) and reused.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${SONAVELA_WINDOWS_CACHE:-$HOME/.cache/sonavela-windows}
prefix=$("$here/scripts/windows_deps.sh" "$cache" | tail -1)
build=$here/build-windows
# Without debug information: the zip's program is stripped anyway, and the
# build and its links take far less time.
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" -DSONAVELA_WINDOWS_PREFIX="$prefix" \
    -DSONAVELA_WERROR=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" >/dev/null
cmake --build "$build" -j2
# A prefix of our own; no Mono or Gecko prompt when wine creates it.
export WINEPREFIX=$cache/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
# wine links Documents, Desktop and the like to the real home folder: the
# tests get folders of their own instead.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [[ -L $link ]]; then
        rm "$link"
        mkdir "$link"
    fi
done
(cd "$build" && ctest -L '^windows$' --repeat until-pass:2 --output-on-failure --timeout 300 --no-tests=error)

server=$(mktemp -d /tmp/sonavela-wine-pulse.XXXXXX)
https=$(mktemp -d /tmp/sonavela-wine-https.XXXXXX)
trap 'wineserver -k 2>/dev/null || true; "$here/scripts/pulse_test_server.sh" stop "$server"; "$here/scripts/https_test_server.sh" stop "$https"; rm -rf "$server" "$https"' EXIT
"$here/scripts/pulse_test_server.sh" start "$server"
"$here/scripts/https_test_server.sh" start "$https"
# wine's audio driver reads the server's address when a process starts: a
# wineserver left from the unit tests is stopped first.
wineserver -k 2>/dev/null || true
( . "$server/env" && . "$https/env" &&
  cd "$build" && ctest -L '^windows_integration$' --repeat until-pass:3 --output-on-failure --timeout 300 --no-tests=ignore )
"$here/scripts/windows_package.sh" "$build" | tail -2
echo "[OK] Windows build: tests passed under wine"
