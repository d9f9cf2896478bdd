#!/usr/bin/env bash
# The long run of every fuzz target before an input reader is called done: all targets at once at
# the lowest priority (nice 19, so other work on the machine is not starved), each stopped when it
# has used FUZZ_CPU_SECONDS of CPU time (default 600) or at FUZZ_UNTIL (a `date -d` time, optional).
# Prints per target the CPU seconds, executions, coverage (cov/ft) and any failing inputs, which are
# kept in build/fuzz/fuzz-long/<target>/art/ (copy real findings to fuzz/regressions/<target>/).
set -euo pipefail
cd "$(dirname "$0")/.."
cpu=${FUZZ_CPU_SECONDS:-600}
until=$(date -d "${FUZZ_UNTIL:-+100 years}" +%s)
build=build/fuzz
work=$build/fuzz-long

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target fuzz_all
read -r -a targets <<<"${FUZZ_TARGETS:-$(tr '\n' ' ' <"$build/fuzz/targets.txt")}"
mkdir -p "$work"
"$build/fuzz/fuzz_make_seeds" "$work/seeds"
tick=$(getconf CLK_TCK)

run() {
  local t=$1 dir=$work/$1
  mkdir -p "$dir/corpus" "$dir/art"
  cp -r "$work/seeds/$t/." fuzz/regressions/"$t"/. "$dir/corpus/" 2>/dev/null || true
  nice -n 19 "$build/fuzz/fuzz_$t" -max_len=65536 -rss_limit_mb=2048 -timeout=600 \
    -artifact_prefix="$dir/art/" -print_final_stats=1 "$dir/corpus" >"$dir/log" 2>&1 &
  local pid=$! used=0 f
  while kill -0 $pid 2>/dev/null; do
    if read -r -a f </proc/$pid/stat 2>/dev/null && [ ${#f[@]} -gt 15 ]; then
      used=$(((f[13] + f[14]) / tick))
      if [ $used -ge "$cpu" ] || [ "$(date +%s)" -ge "$until" ]; then kill -INT $pid; fi
    fi
    sleep 5
  done
  wait $pid || true
  echo "$used" >"$dir/cpu"
}

for t in "${targets[@]}"; do run "$t" & done
wait
for t in "${targets[@]}"; do
  dir=$work/$t
  last=$(grep -E '^#[0-9]+' "$dir/log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)
  execs=$(sed -n 's/.*stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  echo "fuzz_$t: $(cat "$dir/cpu") CPU s, ${execs:-?} executions, ${last:-no status}," \
    "$(find "$dir/art" -type f | wc -l) inputs kept"
done
