#!/usr/bin/env bash
# The Linux program on Wayland: runs the end-to-end suite (tests/wayland/) on
# a headless sway with the real screenshot portal.
# sway refuses to run as root, so as root the suite runs as an unprivileged
# user of its own (made once); the whole stack gets a /tmp of its own (the
# wlr portal always writes /tmp/out.png) and a PID namespace, so that nothing
# it started outlives it. Needs what scripts/install-deps.sh installs from
# scripts/packages/wayland.txt and qt.txt.
# Usage: scripts/test-wayland.sh [--scenario NAME ...]
# Ends with the suite's line "N passed, M failed"; exits non-zero on failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$(date +%s)
user=kwpshot-wltest
out=build-wayland/out

fail() {
  echo "$1"
  echo "0 passed, 1 failed"
  exit 1
}

# The program as scripts/test.sh builds it (Debug, sanitizers).
if [ ! -x build-test/kwpshot ]; then
  cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DKWPSHOT_SANITIZE=ON -DKWPSHOT_QT=ON \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache &&
    cmake --build build-test --target kwpshot -j2 || fail "program build failed"
fi
# The suite's helpers: virtual input, a probe window.
{ cmake -S tests/wayland -B build-wayland -DCMAKE_BUILD_TYPE=Release >/dev/null &&
  cmake --build build-wayland -j2 >/dev/null; } || fail "helper build failed"

rm -rf "$out"
mkdir -p "$out"
suite=(/usr/bin/python3 tests/wayland/kwpshot_wl_e2e.py --program build-test/kwpshot
       --helpers build-wayland --out "$out" "$@")
status=0
if [ "$(id -u)" -eq 0 ]; then
  id "$user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" ||
    fail "could not add the test user $user"
  chown "$user": "$out"
  unshare --mount --pid --fork --kill-child --mount-proc -- sh -c '
    mount -t tmpfs -o mode=1777 tmpfs /tmp && exec runuser -u "$0" -- "$@"' "$user" "${suite[@]}" || status=$?
else
  unshare --user --map-current-user --mount --pid --fork --kill-child --mount-proc -- sh -c '
    mount -t tmpfs -o mode=1777 tmpfs /tmp && exec "$@"' sh "${suite[@]}" || status=$?
fi
echo "Wayland part took $(( $(date +%s) - started )) s"
exit $status
