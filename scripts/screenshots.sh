#!/usr/bin/env bash
# Pictures of every window of the program (offscreen, simulated subwoofer) into a folder:
# bash scripts/screenshots.sh [OUT_DIR]   (default docs/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshots}"
cmake --preset default >/dev/null
cmake --build --preset default --target tessaline-shots -j "$(nproc)"
QT_QPA_PLATFORM=offscreen build/default/tests/app/tessaline-shots "$out"
