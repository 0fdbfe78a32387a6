#!/usr/bin/env bash
# A real Prometheus scrapes a collector watching 5 emulated repeaters (127.0.12.1-5): all five are up, one
# switched off is down within the scrape interval + 30 s, an alarm set on another shows as active. Prometheus
# runs on loopback with a generated configuration and a scratch storage directory. Exit 77 (skipped) when
# the prometheus binary is missing.
# Usage: prometheus_test.sh TAVREL_COLLECTOR TAVREL_REPEATER
set -euo pipefail
collector=$1
repeater=$2
if ! command -v prometheus >/dev/null; then
  echo "prometheus is not installed (Debian package prometheus): skipped"
  exit 77
fi
# shellcheck source=tests/fleet/test_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/test_lib.sh"

scrape_interval=1
metrics_port=$(free_port)
prometheus_port=$(free_port)
{
  printf '[collector]\nlocal_address=127.0.0.1\nlog_port=%s\nair_port=%s\n' "$(free_port)" "$(free_port)"
  printf 'metrics_listen=127.0.0.1:%s\nstate_dir=%s/state\n' "$metrics_port" "$scratch"
  for i in 1 2 3 4 5; do
    printf '[r%s]\naddress=127.0.12.%s\n' "$i" "$i"
  done
} >"$scratch/fleet.ini"
cat >"$scratch/prometheus.yml" <<YAML
global:
  scrape_interval: ${scrape_interval}s
  evaluation_interval: ${scrape_interval}s
scrape_configs:
  - job_name: tavrel
    static_configs:
      - targets: ['127.0.0.1:$metrics_port']
YAML

mkfifo "$scratch/control"
"$repeater" --fleet 5 --first-address 127.0.12.1 --quiet --air-rate 0 <"$scratch/control" >"$scratch/emulator.log" 2>&1 &
started_pids+=($!)
exec 3>"$scratch/control"
"$collector" --config "$scratch/fleet.ini" >"$scratch/collector.log" 2>&1 &
started_pids+=($!)
prometheus --config.file="$scratch/prometheus.yml" --storage.tsdb.path="$scratch/data" \
  --web.listen-address="127.0.0.1:$prometheus_port" >"$scratch/prometheus.log" 2>&1 &
started_pids+=($!)

# query PROMQL: the first result's value, or nothing.
query() {
  curl -fsS --get "http://127.0.0.1:$prometheus_port/api/v1/query" --data-urlencode "query=$1" 2>/dev/null |
    jq -r '.data.result[0].value[1] // empty' 2>/dev/null
}
is() { [[ "$(query "$1")" == "$2" ]]; }

wait_for 60 "Prometheus sees all five up" is 'count(tavrel_repeater_up == 1)' 5

echo "off 3" >&3
start=$SECONDS
wait_for $((scrape_interval + 30)) "r3 down in Prometheus" is 'tavrel_repeater_up{repeater="r3"}' 0
down_after=$((SECONDS - start))
is 'count(tavrel_repeater_up == 1)' 4 || fail "the other four are not all up"

echo "alarm 2 4" >&3
wait_for 20 "r2's Rx PLL alarm active in Prometheus" is 'tavrel_alarm_active{repeater="r2",alarm="rx_pll"}' 1
is 'sum(tavrel_alarm_active)' 1 || fail "an alarm other than r2's Rx PLL is active: $(query 'sum(tavrel_alarm_active)')"
echo quit >&3
echo "prometheus: all five up, r3 down within ${down_after} s, r2's alarm seen"
