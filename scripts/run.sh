#!/usr/bin/env bash
# Builds the program and starts it against the simulated subwoofer, room and microphone: the
# window program when a display is present, otherwise the command line's Measure chain (the
# main window's Measure button on the terminal). With arguments, runs tessaline-cli with them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cli=build/default/src/cli/tessaline-cli
gui=build/default/src/app/tessaline
if [ "$#" -gt 0 ]; then
    cmake --build --preset default --target tessaline-cli -j "$(nproc)"
    exec "$cli" "$@"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    cmake --build --preset default --target tessaline -j "$(nproc)"
    echo "Starting the window program against the simulated subwoofer (tessaline --simulate)."
    exec "$gui" --simulate
fi
cmake --build --preset default --target tessaline-cli -j "$(nproc)"
echo "No display (DISPLAY is not set): running the Measure chain on the command line instead of"
echo "the window program, against the simulated subwoofer, room and microphone."
documents="$(xdg-user-dir DOCUMENTS 2>/dev/null || true)"
if [ -z "$documents" ] || [ "$documents" = "$HOME" ]; then
    documents="$HOME/Documents"
fi
mkdir -p "$documents"
out="$documents/tessaline-demo.ktsl"
"$cli" run --simulate --yes --out "$out"
echo "The measurement document went to: $out"
