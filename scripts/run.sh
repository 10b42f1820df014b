#!/usr/bin/env bash
# Installs what is missing, builds the Linux program (Release, Qt) and starts
# it on the current display. Where there is no display it starts a virtual
# one, makes one capture as a user would, and prints the folder that holds the
# JPEG and the screenshots.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh core qt
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKWPSHOT_QT=ON -DKWPSHOT_TESTS=OFF -DKWPSHOT_BENCH=OFF
cmake --build build -j"$(nproc)" --target kwpshot

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/kwpshot
fi

out="$root/build/run-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$out"
python3 tests/e2e/demo_capture.py --program build/kwpshot --out "$out" > "$out/run.log" 2>&1 || {
  cat "$out/run.log" >&2
  exit 1
}
echo "No display: kwpshot ran on a virtual one and made one capture."
echo "The JPEG and the screenshots are in: $out"
