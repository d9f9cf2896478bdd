#!/usr/bin/env bash
# Builds and runs every test: the default build, the ASan/UBSan build, the ThreadSanitizer build of
# the threaded (Qt-free) tests, and a short fuzzing run when clang is available.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)
passed=0

for preset in default asan; do
  echo "== $preset: configure and build =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  if [ "$preset" = default ]; then
    echo "== layering =="
    python3 scripts/check-layering.py . build/default
  fi
  echo "== $preset: tests =="
  log=$(mktemp)
  ASAN_OPTIONS=verify_asan_link_order=0 ctest --preset "$preset" -j "$jobs" | tee "$log"
  n=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  passed=$((passed + ${n:-0}))
  rm -f "$log"
done

# Threaded code under ThreadSanitizer: every Qt-free test executable that starts threads, and the
# command line's simulated runs with fault switches (its tests run the tsan build of the CLI, whose
# reports go to files checked below). tsan_filter takes a gtest filter per executable, for cases
# too slow under TSan; none needs one today (the slowest executable takes about 45 s).
tsan_targets=(threading_tests wizard_tests wizard_step_tests wizard_measure_tests
  sublink_protocol_tests sublink_discovery_tests measure_curve_tests measure_audio_tests
  sim_tests sim_room_tests sim_cli_tests wizard_measure_cli_tests)
declare -A tsan_filter=()
echo "== tsan: ${tsan_targets[*]} =="
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target "${tsan_targets[@]}" tessaline-cli
tsan_logs=build/tsan/tsan-logs
rm -rf "$tsan_logs"
mkdir -p "$tsan_logs"
tsan_status=0
for t in "${tsan_targets[@]}"; do
  bin=$(find build/tsan/tests -type f -name "$t" -perm -u+x | head -n 1)
  OMP_NUM_THREADS=1 TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 log_path=$PWD/$tsan_logs/$t" \
    "$bin" --gtest_brief=1 --gtest_filter="${tsan_filter[$t]:-*}" || tsan_status=1
done
# Whole simulated runs under faults that stress the reader thread and the retries: a run may fail
# by design (exit 2), but never crash or race.
cli_work=$(mktemp -d)
root=$PWD
for faults in "trickle notready=2 crlf" "unplug=40" "babble" "garble=G0:1 echo=V0:1 wrong=G3:1"; do
  args=()
  for f in $faults; do args+=(--sim-fault "$f"); done
  code=0
  (cd "$cli_work" && OMP_NUM_THREADS=1 \
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 log_path=$root/$tsan_logs/cli" \
    "$root/build/tsan/src/cli/tessaline-cli" --simulate "${args[@]}" run --yes --positions 5 \
    --out run.ktsl >/dev/null 2>&1 </dev/null) || code=$?
  if [ $code -ne 0 ] && [ $code -ne 2 ]; then
    echo "tsan: simulated run with faults '$faults' exited with $code"
    tsan_status=1
  fi
  rm -f "$cli_work"/*
done
rm -rf "$cli_work"
if [ $tsan_status -ne 0 ] || compgen -G "$tsan_logs/*" >/dev/null; then
  cat "$tsan_logs"/* 2>/dev/null || true
  echo "tsan: failed"
  exit 1
fi

if [ -x scripts/fuzz.sh ] || [ -f scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh
fi

echo "tests: $passed passed, 0 failed"
