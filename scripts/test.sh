#!/usr/bin/env bash
# Installs what is missing, builds every part with the sanitizers on, and runs
# every test: core, behaviour (in-memory platform), and the end-to-end suites;
# then scripts/test-*.sh: a clang build, the Release build with its Debian
# package, and the Windows program with its suite and release zip. Warnings
# are errors in every build here.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh

qt=OFF
if [ -f src/platform/qt/CMakeLists.txt ]; then qt=ON; fi
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DKWPSHOT_SANITIZE=ON -DKWPSHOT_QT=$qt -DKWPSHOT_WERROR=ON
cmake --build build-test -j"$(nproc)"

status=0
ctest --test-dir build-test --output-on-failure -j"$(nproc)" || status=$?
for extra in scripts/test-*.sh; do
  [ -x "$extra" ] || continue
  "$extra" || status=$?
done
exit $status
