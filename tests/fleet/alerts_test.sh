#!/usr/bin/env bash
# Alerts seen arriving: Debian's Prometheus and Alertmanager on loopback with the shipped rules (their `for:`
# shortened to seconds in the test's copy), a collector watching 2 emulated repeaters (127.0.24.1-2) and a
# webhook receiver that files each notification. A repeater switched off brings TavrelRepeaterDown with its
# repeater label, and "resolved" once it is back; an alarm raised brings TavrelRepeaterAlarm with the repeater
# and alarm labels. Exit 77 (skipped) when a binary is missing.
# Usage: alerts_test.sh TAVREL_COLLECTOR TAVREL_REPEATER RULES_FILE
set -euo pipefail
collector=$1
repeater=$2
rules=$3
# shellcheck source=tests/fleet/test_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/test_lib.sh"
require prometheus prometheus-alertmanager python3 jq curl

host=127.0.24.10
metrics_port=$(free_port)
prometheus_port=$(free_port)
alertmanager_port=$(free_port)
webhook_port=$(free_port)
mkdir "$scratch/received"
{
  printf '[collector]\nlocal_address=%s\nlog_port=%s\nair_port=%s\n' "$host" "$(free_port)" "$(free_port)"
  printf 'metrics_listen=%s:%s\nstate_dir=%s/state\n' "$host" "$metrics_port" "$scratch"
  printf '[r1]\naddress=127.0.24.1\n[r2]\naddress=127.0.24.2\n'
} >"$scratch/fleet.ini"
sed -E 's/^( *for: ).*/\12s/' "$rules" >"$scratch/rules.yml"
cat >"$scratch/prometheus.yml" <<YAML
global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files: ['$scratch/rules.yml']
alerting:
  alertmanagers:
    - static_configs:
        - targets: ['$host:$alertmanager_port']
scrape_configs:
  - job_name: tavrel
    static_configs:
      - targets: ['$host:$metrics_port']
YAML
cat >"$scratch/alertmanager.yml" <<YAML
route:
  receiver: webhook
  group_by: [alertname, repeater, alarm]
  group_wait: 1s
  group_interval: 1s
  repeat_interval: 1h
receivers:
  - name: webhook
    webhook_configs:
      - url: 'http://$host:$webhook_port/'
        send_resolved: true
YAML

python3 "$(dirname "${BASH_SOURCE[0]}")/webhook_receiver.py" "$host" "$webhook_port" "$scratch/received" \
  >"$scratch/webhook.log" 2>&1 &
started_pids+=($!)
prometheus-alertmanager --config.file="$scratch/alertmanager.yml" --storage.path="$scratch/am" \
  --web.listen-address="$host:$alertmanager_port" --cluster.listen-address= >"$scratch/alertmanager.log" 2>&1 &
started_pids+=($!)
start_fleet 2 127.0.24.1
start_collector
start_prometheus "$host:$prometheus_port"

# arrived STATUS ALERTNAME LABEL=VALUE...: a notification that arrived holds such an alert.
arrived() {
  local status=$1 name=$2 filter
  shift 2
  filter=".alerts[] | select(.status == \"$status\" and .labels.alertname == \"$name\")"
  for pair in "$@"; do
    filter+=" | select(.labels.${pair%%=*} == \"${pair#*=}\")"
  done
  cat "$scratch"/received/*.json 2>/dev/null | jq -e -s "[.[] | $filter] | length > 0" >/dev/null
}
all_up() {
  curl -fsS --get "http://$host:$prometheus_port/api/v1/query" --data-urlencode 'query=count(tavrel_repeater_up == 1)' 2>/dev/null |
    jq -e '.data.result[0].value[1] == "2"' >/dev/null
}

wait_for 30 "Prometheus sees both repeaters up" all_up
start=$SECONDS
echo "off 2" >&3
wait_for 30 "TavrelRepeaterDown for r2 at the webhook" arrived firing TavrelRepeaterDown repeater=r2
echo "on 2" >&3
wait_for 30 "TavrelRepeaterDown for r2 resolved at the webhook" arrived resolved TavrelRepeaterDown repeater=r2
echo "alarm 1 4" >&3
wait_for 20 "TavrelRepeaterAlarm for r1's rx_pll at the webhook" \
  arrived firing TavrelRepeaterAlarm repeater=r1 alarm=rx_pll severity=warning
if arrived firing TavrelRepeaterDown repeater=r1; then
  fail "r1, never switched off, was reported down"
fi
echo quit >&3
echo "alerts: r2 down and resolved, r1's alarm arrived at the webhook within $((SECONDS - start)) s"
