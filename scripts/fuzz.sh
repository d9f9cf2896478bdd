#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset) and runs each for a bounded time on its seed corpus
# and its kept inputs. Exits non-zero when a target fails; the failing input is kept in
# fuzz/regressions/<target>/ (replayed by fuzz_replay_tests in the ordinary test builds).
# Skipped (exit 0) when clang is not installed. FUZZ_SECONDS overrides the time per target
# (default: 240 s shared by all targets); FUZZ_TARGETS limits the run to the given names.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ not found, skipped"
  exit 0
fi
build=build/fuzz

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target fuzz_all
read -r -a targets <<<"${FUZZ_TARGETS:-$(tr '\n' ' ' <"$build/fuzz/targets.txt")}"
seconds=${FUZZ_SECONDS:-$((240 / ${#targets[@]}))}

work=$build/fuzz-work
rm -rf "$work"
mkdir -p "$work"
"$build/fuzz/fuzz_make_seeds" "$work"

status=0
for target in "${targets[@]}"; do
  mkdir -p "$work/$target" "fuzz/regressions/$target"
  # Earlier failing inputs stay in the corpus.
  cp -r fuzz/regressions/"$target"/. "$work/$target/"
  echo "== fuzz_$target: ${seconds}s =="
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=1024 \
      -timeout=60 -artifact_prefix="fuzz/regressions/$target/" -print_final_stats=1 \
      "$work/$target" 2>"$work/$target.log"; then
    tail -40 "$work/$target.log"
    echo "fuzz_$target: failure, input kept in fuzz/regressions/$target/"
    status=1
  else
    grep -E 'stat::number_of_executed_units|Done' "$work/$target.log" | tail -2 || true
  fi
done
exit $status
