#!/bin/bash
# Puts the cross-built Windows program in a zip for Windows users:
#   scripts/windows_package.sh [build folder]   (default build-windows)
# The program (stripped), its font with the font's licence, and a README.
# Prints the zip's path on its last line.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-windows}
[[ -f $build/sonavela.exe ]] || { echo "no $build/sonavela.exe: run scripts/windows_test.sh first" >&2; exit 1; }
stage=$build/package/SonavelaStudio
rm -rf "$build/package"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/sonavela.exe" "$build/sonavela.exe"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$stage/"
cp /usr/share/doc/fonts-dejavu-core/copyright "$stage/DejaVuSans-LICENSE.txt"
# Windows' Notepad wants CRLF line ends.
sed 's/$/\r/' "$here/docs/windows/README-Windows.txt" >"$stage/README-Windows.txt"
version=$(sed -n 's/^project(SonavelaStudio VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
zip=$build/SonavelaStudio-$version-windows-x64.zip
(cd "$build/package" && cmake -E tar cf "$zip" --format=zip SonavelaStudio)
echo "[OK] $(du -h "$stage/sonavela.exe" | cut -f1) sonavela.exe, packed with its font and README in:"
echo "$zip"
