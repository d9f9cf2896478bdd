#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset) and runs each for a bounded time on its seed corpus.
# Exits non-zero when a target crashes; the crashing input is kept in fuzz/regressions/.
# Skipped (exit 0) when clang is not installed. FUZZ_SECONDS overrides the time per target.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ not found, skipped"
  exit 0
fi
seconds=${FUZZ_SECONDS:-30}
build=build/fuzz

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target fuzz_document fuzz_calibration fuzz_make_seeds

work=$build/fuzz-work
rm -rf "$work"
mkdir -p "$work/document" "$work/calibration" fuzz/regressions
"$build/fuzz/fuzz_make_seeds" "$work/document" "$work/calibration"

status=0
for target in document calibration; do
  # Earlier crash inputs stay in the corpus as regression cases.
  if compgen -G "fuzz/regressions/$target-*" >/dev/null; then
    cp fuzz/regressions/"$target"-* "$work/$target/"
  fi
  echo "== fuzz_$target: ${seconds}s =="
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=1024 \
      -artifact_prefix="fuzz/regressions/$target-" -print_final_stats=1 \
      "$work/$target" 2>"$work/$target.log"; then
    tail -40 "$work/$target.log"
    echo "fuzz_$target: crash, input kept in fuzz/regressions/"
    status=1
  else
    grep -E 'stat::number_of_executed_units|Done' "$work/$target.log" | tail -2 || true
  fi
done
exit $status
