#!/usr/bin/env bash
# A second compiler: the program, the tests and the benchmarks built with
# clang, Debug, warnings as errors (build-clang/). Only built: the tests run
# once, in the sanitizer build of scripts/test.sh.
# Ends with the line "N passed, M failed"; exits non-zero on failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
started=$(date +%s)

if cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=Debug -DKWPSHOT_QT=ON -DKWPSHOT_WERROR=ON \
     -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ &&
   cmake --build build-clang -j"$(nproc)"; then
  echo "clang build took $(( $(date +%s) - started )) s"
  echo "1 passed, 0 failed"
else
  echo "clang build failed"
  echo "0 passed, 1 failed"
  exit 1
fi
