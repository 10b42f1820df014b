#!/usr/bin/env bash
# The Windows release: <build>/kwpshot-<version>-win32.zip holding kwpshot.exe,
# 使用说明.txt (in Chinese: what it does, the hotkey, where the settings live)
# and the licence texts of what is linked into the program: libjpeg-turbo, and
# mingw-w64's runtime (its POSIX threads library).
# The version is CMake's project version, as in the program's version resource.
# Usage: scripts/make-win32-zip.sh [build folder, default build-win32]   (after the build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-win32}" && pwd)
licences=${KWPSHOT_DEPS:-/opt/kwpshot-deps}/i686-w64-mingw32/share/doc/libjpeg-turbo
runtime=/usr/share/doc/mingw-w64-i686-dev/copyright

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $build/CMakeCache.txt" >&2; exit 1; }
[ -f "$build/kwpshot.exe" ] || { echo "$build/kwpshot.exe is not built" >&2; exit 1; }
for f in LICENSE.md README.ijg; do
  [ -f "$licences/$f" ] || { echo "$licences/$f is missing (scripts/build-libjpeg-win32.sh installs it)" >&2; exit 1; }
done
[ -f "$runtime" ] || { echo "$runtime is missing (package mingw-w64-i686-dev)" >&2; exit 1; }

name=kwpshot-$version-win32
stage=$build/release/$name
rm -rf "$build/release"
mkdir -p "$stage/licenses/libjpeg-turbo" "$stage/licenses/mingw-w64"
cp "$build/kwpshot.exe" "$stage/"
# Notepad on every Windows reads UTF-8 with a byte-order mark; lines end in CR LF.
{ printf '\xef\xbb\xbf'; sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$root/resources/win32/使用说明.txt"; } \
  > "$stage/使用说明.txt"
for f in LICENSE.md README.ijg; do
  sed -e 's/\r*$/\r/' "$licences/$f" > "$stage/licenses/libjpeg-turbo/$f"
done
sed -e 's/\r*$/\r/' "$runtime" > "$stage/licenses/mingw-w64/copyright.txt"

zip=$build/$name.zip
rm -f "$zip"
# Python's zipfile stores a name that is not ASCII as UTF-8 and flags it so,
# which Windows reads right (Info-ZIP's zip 3.0 leaves the flag off).
(cd "$build/release" && python3 -m zipfile -c "$zip" "$name")
echo "$zip"
