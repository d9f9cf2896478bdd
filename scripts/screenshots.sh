#!/usr/bin/env bash
# Pictures of every window of the program (offscreen, simulated subwoofer) into a folder:
# bash scripts/screenshots.sh [OUT_DIR [OUT_DIR_2X]]   (default docs/screenshots and, at
# QT_SCALE_FACTOR=2, build/default/screenshots-2x: look at both)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshots}"
cmake --preset default >/dev/null
cmake --build --preset default --target tessaline-shots -j "$(nproc)"
out2x="${2:-build/default/screenshots-2x}"
QT_QPA_PLATFORM=offscreen build/default/tests/app/tessaline-shots "$out"
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 build/default/tests/app/tessaline-shots "$out2x"
