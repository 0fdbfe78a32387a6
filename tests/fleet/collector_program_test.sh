#!/usr/bin/env bash
# The tavrel-collector program: options and settings mistakes (exit 2, file and line named), a port in use
# (exit 1, port named), SIGHUP adding and removing repeaters without touching the kept one, SIGTERM within a
# second. Emulated repeaters on 127.0.12.11-13.
# Usage: collector_program_test.sh TAVREL_COLLECTOR TAVREL_REPEATER
set -euo pipefail
collector=$1
repeater=$2
# shellcheck source=tests/fleet/test_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/test_lib.sh"

"$collector" --help | grep -q '^Usage: tavrel-collector --config FILE' || fail "--help"
[[ "$("$collector" --version)" =~ ^tavrel-collector\ [0-9.]+$ ]] || fail "--version"
status=0
"$collector" 2>"$scratch/err.txt" || status=$?
if ((status != 2)) || ! grep -q "no --config FILE given" "$scratch/err.txt"; then
  fail "no --config: status $status"
fi

log_port=$(free_port)
air_port=$(free_port)
state="$scratch/state,kept" # a value may hold a comma
metrics_port=$(free_port)
write_config() { # write_config FILE SECTIONS...
  local file=$1
  shift
  printf '[collector]\nlocal_address=127.0.0.1\nlog_port=%s\nair_port=%s\nmetrics_listen=127.0.0.1:%s\nstate_dir=%s\nkeep_days=7\n' \
    "$log_port" "$air_port" "$metrics_port" "$state" >"$file"
  for name in "$@"; do
    printf '[%s]\naddress=127.0.12.%s\n' "$name" "${name#r}" >>"$file"
  done
}

# A mistake: exit 2, nothing started, the file and line named.
write_config "$scratch/bad.ini" r11
echo "adress=127.0.12.12" >>"$scratch/bad.ini" # line 10
status=0
"$collector" --config "$scratch/bad.ini" 2>"$scratch/err.txt" || status=$?
((status == 2)) || fail "bad settings: status $status"
grep -qF "$scratch/bad.ini:10: unknown key 'adress' in [r11]" "$scratch/err.txt" || fail "message: $(cat "$scratch/err.txt")"
status=0
"$collector" --config "$scratch/bad.ini" --check-config >/dev/null 2>&1 || status=$?
((status == 2)) || fail "--check-config of bad settings: status $status"

write_config "$scratch/fleet.ini" r11 r12
"$collector" --config "$scratch/fleet.ini" --check-config | grep -qF "files under $state, kept 7 days" || fail "--check-config"
# A run log dated 100 days back is removed at start (keep_days=7), and the removal is told.
mkdir -p "$state/127.0.12.11"
old_log="$state/127.0.12.11/repeater[127.0.12.11]_$(date -d '100 days ago' +%Y%m%d%H%M%S).log"
echo old >"$old_log"

# A web config: web_config in the file, --web.config.file wins; a bad one is refused naming its field.
printf 'basic_auth_users:\n  prometheus: $2y$10$abcdefghijklmnopqrstuu5Hq6W1Bm0Yk2m1zZ3dQ4nX0J3lC6bJWi\n' >"$scratch/web.yml"
printf 'tls_server_config:\n  cert_file: c.pem\n  key_file: k.pem\n  cipher_suites: [TLS_AES_128_GCM_SHA256]\n' \
  >"$scratch/bad-web.yml"
cp "$scratch/fleet.ini" "$scratch/web.ini"
sed -i "2i web_config=$scratch/bad-web.yml" "$scratch/web.ini"
"$collector" --config "$scratch/web.ini" --check-config --web.config.file "$scratch/web.yml" |
  grep -qF "web config $scratch/web.yml" || fail "--check-config with --web.config.file"
status=0
"$collector" --config "$scratch/web.ini" --check-config 2>"$scratch/err.txt" >/dev/null || status=$?
((status == 2)) || fail "a bad web config: status $status"
grep -qF "$scratch/bad-web.yml: tls_server_config.cipher_suites is not supported" "$scratch/err.txt" ||
  fail "bad web config message: $(cat "$scratch/err.txt")"

start_fleet 3 127.0.12.11

start_collector
url="http://127.0.0.1:$metrics_port/metrics"
up() { [[ "$(metric "$url" "tavrel_repeater_up{repeater=\"$1\"}")" == 1 ]]; }
wait_for 10 "r11 and r12 up" eval 'up r11 && up r12'
# One thread serves every repeater: the event loop's.
threads=$(awk '/^Threads:/ { print $2 }' "/proc/$collector_pid/status")
((threads == 1)) || fail "the collector runs $threads threads for 2 repeaters"

# A second collector on the same ports: exit 1, the port named.
status=0
"$collector" --config "$scratch/fleet.ini" 2>"$scratch/err.txt" || status=$?
((status == 1)) || fail "second collector: status $status"
grep -q "the log_port $log_port on 127.0.0.1 is already in use" "$scratch/err.txt" || fail "in use: $(cat "$scratch/err.txt")"

# SIGHUP: r11 goes, r13 comes, r12 keeps its one connection.
write_config "$scratch/fleet.ini" r12 r13
kill -HUP "$collector_pid"
wait_for 10 "r13 up after SIGHUP" up r13
[[ -z "$(metric "$url" 'tavrel_repeater_up{repeater="r11"}')" ]] || fail "r11 still listed after SIGHUP"
[[ "$(metric "$url" 'tavrel_connects_total{repeater="r12"}')" == 1 ]] || fail "r12 was reconnected by SIGHUP"
grep -q "1 repeaters started, 1 stopped, 1 unchanged" "$scratch/collector.log" || fail "reload line"
[[ ! -e "$old_log" ]] || fail "the run log dated 100 days back is still there"
grep -q "retention: removed 1 files" "$scratch/collector.log" || fail "no retention line"

# A reload that fails keeps the running settings and serving, and reads 0 until one succeeds.
reloaded() { [[ "$(metric "$url" tavrel_collector_config_last_reload_successful)" == "$1" ]]; }
reloaded 1 || fail "reload_successful is not 1 after a good reload"
cp "$scratch/fleet.ini" "$scratch/good.ini"
echo "adress=1" >>"$scratch/fleet.ini"
kill -HUP "$collector_pid"
wait_for 10 "reload_successful 0 after a bad SIGHUP" reloaded 0
up r12 || fail "r12 not up after a failed reload"
grep -q "not reloaded, the running settings stay: .*unknown key 'adress'" "$scratch/collector.log" || fail "failed reload not told"
cp "$scratch/good.ini" "$scratch/fleet.ini"
kill -HUP "$collector_pid"
wait_for 10 "reload_successful 1 after a good SIGHUP" reloaded 1

# SIGTERM: gone within a second, status 0.
start_ns=$(date +%s%N)
kill -TERM "$collector_pid"
status=0
wait "$collector_pid" || status=$?
elapsed_ms=$((($(date +%s%N) - start_ns) / 1000000))
((status == 0)) || fail "SIGTERM: status $status"
((elapsed_ms < 1000)) || fail "SIGTERM took $elapsed_ms ms"
ls "$state/127.0.12.12/"repeater\[127.0.12.12\]_*.log >/dev/null || fail "no run log for r12"
echo quit >&3
echo "collector program: all checks passed (SIGTERM to exit: $elapsed_ms ms)"
