#!/usr/bin/env bash
# Starts an emulated fleet of 5 repeaters (127.0.10.1-5) and a collector watching them, with metrics on
# 127.0.0.1:9479 and files under a scratch directory; prints the metrics once, then runs until Ctrl-C, which
# ends both. Usage: scripts/fleet-demo.sh [count]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
count=${1:-5}

bash scripts/install-deps.sh >&2
cmake --preset release >&2
cmake --build --preset release --target tavrel-collector tavrel-repeater >&2
bin=build/release/bin
scratch=$(mktemp -d)
pids=()
stop() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap stop EXIT
trap 'exit 0' INT TERM

{
  printf '[collector]\nlocal_address=127.0.0.1\nmetrics_listen=127.0.0.1:9479\nstate_dir=%s/state\n' "$scratch"
  for ((i = 1; i <= count; i++)); do printf '[repeater-%d]\naddress=127.0.10.%d\nair_log=on\n' "$i" "$i"; done
} >"$scratch/fleet.conf"

# The fleet reads control lines (e.g. "alarm 2 4") from a pipe this script keeps open.
mkfifo "$scratch/control"
"$bin/tavrel-repeater" --fleet "$count" --first-address 127.0.10.1 --quiet <"$scratch/control" &
pids+=($!)
exec 3>"$scratch/control"
"$bin/tavrel-collector" --config "$scratch/fleet.conf" &
pids+=($!)
sleep 3
echo "alarm 2 4" >&3 # repeater-2's Rx PLL alarm comes on
sleep 3
curl -s http://127.0.0.1:9479/metrics | grep -E '^tavrel_(repeater_up|alarm_active\{alarm="rx_pll"|log_lines)'
echo "Files under $scratch/state; metrics at http://127.0.0.1:9479/metrics; Ctrl-C ends the demo." >&2
wait
