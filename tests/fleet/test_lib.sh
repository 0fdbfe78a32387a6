# Shared pieces of the collector's program tests: free loopback ports, starting the emulated fleet, the
# collector and Prometheus, waiting for a metric, and stopping only the processes a test started.
# shellcheck shell=bash

started_pids=()
scratch=$(mktemp -d)
cleanup() {
  for pid in "${started_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${started_pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$scratch"
}
trap cleanup EXIT

# require PROGRAM...: skips the test (exit 77) when one of the programs is not installed.
require() {
  local program
  for program in "$@"; do
    if ! command -v "$program" >/dev/null; then
      echo "$program is not installed (scripts/install-deps.sh installs it): skipped"
      exit 77
    fi
  done
}

fail() {
  echo "FAIL: $*" >&2
  for log in "$scratch"/*.log; do
    [[ -f "$log" ]] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}

# free_port: a TCP and UDP port on 127.0.0.1 that nothing listens on now.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 30000))
    if ! ss -Htuln "sport = :$port" | grep -q .; then
      echo "$port"
      return
    fi
  done
}

# metric URL SERIES: the value of one series in the collector's exposition, or nothing.
metric() {
  curl -fsS "$1" 2>/dev/null | awk -v series="$2" '$1 == series { print $2 }'
}

# wait_for SECONDS DESCRIPTION COMMAND...: runs the command every 0.2 s until it succeeds.
wait_for() {
  local seconds=$1 description=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || fail "not within ${seconds} s: $description"
    sleep 0.2
  done
}

# start_fleet COUNT FIRST_ADDRESS: the emulator ("$repeater") with COUNT repeaters from FIRST_ADDRESS on, its
# console reading file descriptor 3 ("off 2" >&3 and the like); its output in $scratch/emulator.log.
# shellcheck disable=SC2154 # the sourcing test sets repeater
start_fleet() {
  mkfifo "$scratch/control"
  "$repeater" --fleet "$1" --first-address "$2" --quiet --air-rate 0 <"$scratch/control" >"$scratch/emulator.log" 2>&1 &
  started_pids+=($!)
  exec 3>"$scratch/control"
}

# start_collector: the collector ("$collector") on $scratch/fleet.ini, its process id in collector_pid; its
# output in $scratch/collector.log.
# shellcheck disable=SC2154 # the sourcing test sets collector
start_collector() {
  "$collector" --config "$scratch/fleet.ini" >"$scratch/collector.log" 2>&1 &
  collector_pid=$!
  started_pids+=("$collector_pid")
}

# start_prometheus ADDRESS:PORT: Prometheus on $scratch/prometheus.yml, its data in $scratch/data; its output
# in $scratch/prometheus.log.
start_prometheus() {
  prometheus --config.file="$scratch/prometheus.yml" --storage.tsdb.path="$scratch/data" \
    --web.listen-address="$1" >"$scratch/prometheus.log" 2>&1 &
  started_pids+=($!)
}
