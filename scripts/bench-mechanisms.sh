#!/usr/bin/env bash
# Measures what each speed mechanism of the tool brings: the figures it serves (idle CPU, repeater-log
# throughput, log latency) with every mechanism on, then with each one switched off alone, in one run.
# Usage: scripts/bench-mechanisms.sh [--quick]. Prints one Markdown table; progress goes to standard error.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh >&2
cmake --preset release >&2
cmake --build --preset release --target tavrel_bench tavrel-repeater >&2

work=$(mktemp -d /tmp/tavrel-mechanisms.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The cell of a figure's row in a result table: its "Tavrel" column.
figure() { awk -F'|' -v n="$2" '$2 + 0 == n { gsub(/^ +| +$/, "", $5); print $5 }' "$1"; }

echo "| Switched off | Idle CPU | Repeater-log throughput | Log latency |"
echo "|---|---|---|---|"
for without in none hub-watch batching; do
  args=(--only idle,log,latency --table "$work/$without.md" "$@")
  [[ $without == none ]] || args+=(--without "$without")
  echo "== without: $without" >&2
  build/release/bin/tavrel_bench "${args[@]}" >/dev/null
  echo "| $without | $(figure "$work/$without.md" 1) | $(figure "$work/$without.md" 2) | $(figure "$work/$without.md" 3) |"
done
echo
head -n 1 "$work/none.md" | sed 's/^/First run: /'
head -n 1 "$work/batching.md" | sed 's/^/Last run: /'
