#!/usr/bin/env bash
# Builds the program and runs the main window's Measure chain against the simulated subwoofer,
# room and microphone (until the GUI exists). With arguments, runs tessaline-cli with them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
cli=build/default/src/cli/tessaline-cli
if [ "$#" -gt 0 ]; then
    exec "$cli" "$@"
fi
documents="$(xdg-user-dir DOCUMENTS 2>/dev/null || true)"
if [ -z "$documents" ] || [ "$documents" = "$HOME" ]; then
    documents="$HOME/Documents"
fi
mkdir -p "$documents"
out="$documents/tessaline-demo.ktsl"
"$cli" run --simulate --yes --out "$out"
echo "The measurement document went to: $out"
