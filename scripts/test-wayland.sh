#!/usr/bin/env bash
# The Linux program on Wayland: runs the end-to-end suite (tests/wayland/) on
# a headless sway with the real screenshot portal, through
# scripts/wayland-session.sh (an unprivileged user, a private /tmp).
# Needs what scripts/install-deps.sh installs from scripts/packages/wayland.txt
# and qt.txt.
# Usage: scripts/test-wayland.sh [--scenario NAME ...]
# Ends with the suite's line "N passed, M failed"; exits non-zero on failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$(date +%s)
out=build-wayland/out

fail() {
  echo "$1"
  echo "0 passed, 1 failed"
  exit 1
}

# The program as scripts/test.sh builds it (Debug, sanitizers), brought up to date.
if [ ! -f build-test/CMakeCache.txt ]; then
  cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DKWPSHOT_SANITIZE=ON -DKWPSHOT_QT=ON >/dev/null ||
    fail "program build failed"
fi
cmake --build build-test --target kwpshot -j"$(nproc)" >/dev/null || fail "program build failed"
# The suite's helpers: virtual input, a probe window.
{ cmake -S tests/wayland -B build-wayland -DCMAKE_BUILD_TYPE=Release >/dev/null &&
  cmake --build build-wayland -j2 >/dev/null; } || fail "helper build failed"

rm -rf "$out"
status=0
scripts/wayland-session.sh --writable "$out" /usr/bin/python3 tests/wayland/kwpshot_wl_e2e.py \
  --program build-test/kwpshot --helpers build-wayland --out "$out" "$@" || status=$?
echo "Wayland part took $(( $(date +%s) - started )) s" >&2
exit $status
