#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given time, two at a time.
# Usage: scripts/fuzz.sh [seconds per target, default 600] [target ...]
# Inputs that crash a target are written to tests/fuzz/regressions/<target>/, which the normal test suite
# replays; the growing corpus stays in build/fuzz/corpus/<target>/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds="${1:-600}"
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(air_log_record alarm_report repeater_log_text command_splitter)
fi

bash scripts/install-deps.sh clang libclang-rt-14-dev
cmake --preset fuzz
cmake --build --preset fuzz --target "${targets[@]/#/fuzz_}"

run_target() {
  local target="$1"
  mkdir -p "build/fuzz/corpus/$target" "tests/fuzz/regressions/$target"
  "build/fuzz/bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="tests/fuzz/regressions/$target/" \
    "build/fuzz/corpus/$target" "tests/fuzz/corpus/$target" >"build/fuzz/$target.log" 2>&1
  local status=$?
  echo "$target: $(grep -E '^stat::number_of_executed_units' "build/fuzz/$target.log" | awk '{print $2}') runs," \
    "exit $status $( ((status == 0)) && echo '(no finding)' || echo "(finding: see build/fuzz/$target.log)")"
  return "$status"
}

failed=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for target in "${targets[@]:i:2}"; do
    run_target "$target" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
  done
done
exit "$failed"
