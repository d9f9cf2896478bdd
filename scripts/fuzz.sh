#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset) and runs each for a bounded time on its seed corpus
# and its kept inputs. Exits non-zero when a target fails; the failing input is kept in
# fuzz/regressions/<target>/ (replayed by fuzz_replay_tests in the ordinary test builds).
# Skipped (exit 0) when clang is not installed. The targets run FUZZ_JOBS at a time (default: one
# per core); FUZZ_SECONDS overrides the time per target (default: 160 s of fuzzing shared by all
# targets); FUZZ_TARGETS limits the run to the given names.
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
seconds=${FUZZ_SECONDS:-$((160 / ${#targets[@]}))}

work=$build/fuzz-work
rm -rf "$work"
mkdir -p "$work"
"$build/fuzz/fuzz_make_seeds" "$work"

# fuzz_one TARGET: one bounded run; its summary (or the failure's end) is printed when it ends.
fuzz_one() {
  local target=$1 log=$work/$1.log
  mkdir -p "$work/$target" "fuzz/regressions/$target"
  # Earlier failing inputs stay in the corpus.
  cp -r fuzz/regressions/"$target"/. "$work/$target/"
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=1024 \
      -timeout=60 -artifact_prefix="fuzz/regressions/$target/" -print_final_stats=1 \
      "$work/$target" 2>"$log"; then
    echo "== fuzz_$target: ${seconds}s =="
    tail -40 "$log"
    echo "fuzz_$target: failure, input kept in fuzz/regressions/$target/"
    return 1
  fi
  echo "== fuzz_$target: ${seconds}s =="
  grep -E 'stat::number_of_executed_units|Done' "$log" | tail -2 || true
}

jobs=${FUZZ_JOBS:-$(nproc)}
status=0
pids=()
for target in "${targets[@]}"; do
  fuzz_one "$target" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
