#!/usr/bin/env bash
# The Windows program: cross-builds build-win32/kwpshot.exe with mingw-w64 and
# runs its end-to-end suite under Wine on a virtual screen (tests/wine/).
# Needs what scripts/install-deps.sh installs from scripts/packages/win32.*.
# Ends with the suite's line "N passed, M failed"; exits non-zero on failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$(date +%s)

build() {
  cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
    -DKWPSHOT_WERROR=ON &&
    cmake --build build-win32 -j2 &&
    # The suite's helper: another Windows program beside kwpshot.
    i686-w64-mingw32-g++-posix -std=c++20 -O2 -Wall -Wextra -Werror -municode -static \
      -o build-win32/win_probe.exe tests/wine/win_probe.cpp
}
if ! build; then
  echo "Windows build failed"
  echo "0 passed, 1 failed"
  exit 1
fi
echo "Windows build took $(( $(date +%s) - started )) s"
if ! zip=$(scripts/make-win32-zip.sh build-win32) || ! python3 tests/package/win32_zip_test.py "$zip" build-win32/kwpshot.exe; then
  echo "Windows release zip failed"
  echo "0 passed, 1 failed"
  exit 1
fi

status=0
python3 tests/wine/wine_e2e.py --exe build-win32/kwpshot.exe --probe build-win32/win_probe.exe \
  --screenshots build-win32/wine-screenshots || status=$?
echo "Windows part took $(( $(date +%s) - started )) s"
exit $status
