#!/usr/bin/env bash
# Builds libjpeg-turbo for the Windows program from Debian's own source
# package, pinned: a static i686 library with SIMD (nasm), installed into
# $KWPSHOT_DEPS/i686-w64-mingw32 (default /opt/kwpshot-deps, outside the work
# tree, so that every clone on this machine shares one build). Does nothing
# when that version is already installed there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version="1:2.1.5-2"
deps=${KWPSHOT_DEPS:-/opt/kwpshot-deps}
prefix="$deps/i686-w64-mingw32"
stamp="$prefix/.libjpeg-turbo-$version"

if [ -f "$stamp" ] && [ -f "$prefix/lib/libjpeg.a" ]; then
  echo "libjpeg-turbo $version for Windows: already built in $prefix"
  exit 0
fi

src="$deps/src"
rm -rf "$src"
mkdir -p "$src"
cd "$src"
# The deb-src entries come from scripts/packages/win32.pre; fetch the index
# once if this machine has never read it.
if ! apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -qx "Version: $version"; then
  apt-get update -q
fi
apt-get source -q --only-source "libjpeg-turbo=$version"
tree=$(find "$src" -maxdepth 1 -mindepth 1 -type d -name 'libjpeg-turbo-*' | head -n1)
[ -n "$tree" ] || { echo "apt-get source gave no libjpeg-turbo tree" >&2; exit 1; }

cmake -S "$tree" -B "$src/build" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
  -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
  -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF
cmake --build "$src/build" -j2
cmake --install "$src/build"
touch "$stamp"
rm -rf "$src"
echo "libjpeg-turbo $version for Windows: installed in $prefix"
