#!/usr/bin/env bash
# Builds and runs every test: the default build, then the ASan/UBSan build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)

for preset in default asan; do
  echo "== $preset: configure and build =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests =="
  ctest --preset "$preset" -j "$jobs"
done
