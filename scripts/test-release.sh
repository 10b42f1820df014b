#!/usr/bin/env bash
# The Release build with GCC, warnings as errors (build-release/), and its
# Debian package: made with cpack, installed with apt-get, started once on a
# virtual X desktop and removed again (tests/package/deb_test.py).
# Ends with the line "N passed, M failed"; exits non-zero on failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$(date +%s)

build() {
  cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DKWPSHOT_QT=ON -DKWPSHOT_WERROR=ON &&
    cmake --build build-release -j"$(nproc)" &&
    rm -f build-release/kwpshot_*.deb &&
    (cd build-release && cpack -G DEB)
}
if ! build; then
  echo "Release build or Debian package failed"
  echo "0 passed, 1 failed"
  exit 1
fi
echo "Release build and package took $(( $(date +%s) - started )) s"

status=0
python3 tests/package/deb_test.py --deb build-release/kwpshot_*.deb --out build-release/package-out || status=$?
echo "Release part took $(( $(date +%s) - started )) s"
exit $status
