#!/usr/bin/env bash
# A real Prometheus scrapes a collector watching 5 emulated repeaters (127.0.12.1-5) over TLS with basic auth
# (a throw-away CA and server certificate made with openssl, the password hashed with htpasswd): all five are
# up, one switched off is down within the scrape interval + 30 s, an alarm set on another shows as active. A
# wrong or missing password gets 401, plain HTTP to the TLS port no metrics; client certificates switched on
# while it runs are asked for. Prometheus runs on loopback with a
# generated configuration and a scratch storage directory. Exit 77 (skipped) when prometheus, openssl or
# htpasswd is missing.
# Usage: prometheus_test.sh TAVREL_COLLECTOR TAVREL_REPEATER
set -euo pipefail
collector=$1
repeater=$2
# shellcheck source=tests/fleet/test_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/test_lib.sh"
require prometheus openssl htpasswd

scrape_interval=1
metrics_port=$(free_port)
prometheus_port=$(free_port)
{
  printf '[collector]\nlocal_address=127.0.0.1\nlog_port=%s\nair_port=%s\n' "$(free_port)" "$(free_port)"
  printf 'metrics_listen=127.0.0.1:%s\nstate_dir=%s/state\nweb_config=%s/web.yml\n' "$metrics_port" "$scratch" "$scratch"
  for i in 1 2 3 4 5; do
    printf '[r%s]\naddress=127.0.12.%s\n' "$i" "$i"
  done
} >"$scratch/fleet.ini"
# A CA, a certificate for 127.0.0.1 signed by it, and a bcrypt hash as htpasswd -nBC 10 makes it.
ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
openssl req -x509 "${ec[@]}" -keyout "$scratch/ca.key" -out "$scratch/ca.pem" -days 2 -subj /CN=tavrel-test-ca \
  2>"$scratch/openssl.log"
openssl req "${ec[@]}" -keyout "$scratch/server.key" -out "$scratch/server.csr" -subj /CN=127.0.0.1 \
  2>>"$scratch/openssl.log"
printf 'subjectAltName=IP:127.0.0.1\nextendedKeyUsage=serverAuth\n' >"$scratch/server.ext"
openssl x509 -req -in "$scratch/server.csr" -CA "$scratch/ca.pem" -CAkey "$scratch/ca.key" -CAcreateserial \
  -out "$scratch/server.pem" -days 2 -extfile "$scratch/server.ext" 2>>"$scratch/openssl.log"
password=scrape-secret
hash=$(htpasswd -nbBC 10 prometheus "$password" | cut -d: -f2)
cat >"$scratch/web.yml" <<YAML
tls_server_config:
  cert_file: server.pem
  key_file: server.key
  min_version: TLS12
basic_auth_users:
  prometheus: '$hash'
http_server_config:
  headers:
    X-Content-Type-Options: nosniff
YAML
if command -v promtool >/dev/null; then
  promtool check web-config "$scratch/web.yml" >"$scratch/promtool.log" 2>&1 || fail "promtool refuses the web config"
fi

cat >"$scratch/prometheus.yml" <<YAML
global:
  scrape_interval: ${scrape_interval}s
  evaluation_interval: ${scrape_interval}s
scrape_configs:
  - job_name: tavrel
    scheme: https
    tls_config:
      ca_file: $scratch/ca.pem
    basic_auth:
      username: prometheus
      password: $password
    static_configs:
      - targets: ['127.0.0.1:$metrics_port']
YAML

start_fleet 5 127.0.12.1
start_collector
start_prometheus "127.0.0.1:$prometheus_port"

# query PROMQL: the first result's value, or nothing.
query() {
  curl -fsS --get "http://127.0.0.1:$prometheus_port/api/v1/query" --data-urlencode "query=$1" 2>/dev/null |
    jq -r '.data.result[0].value[1] // empty' 2>/dev/null
}
is() { [[ "$(query "$1")" == "$2" ]]; }

wait_for 60 "Prometheus sees all five up" is 'count(tavrel_repeater_up == 1)' 5

# status CURL_ARGS...: the HTTP status the collector's TLS port answers with.
status() { curl -sS -o /dev/null -w '%{http_code}' --cacert "$scratch/ca.pem" "$@" "https://127.0.0.1:$metrics_port/metrics"; }
[[ "$(status -u "prometheus:$password")" == 200 ]] || fail "the right password: $(status -u "prometheus:$password")"
[[ "$(status -u prometheus:wrong)" == 401 ]] || fail "a wrong password: $(status -u prometheus:wrong)"
[[ "$(status)" == 401 ]] || fail "no password: $(status)"
curl -sS -D - -o /dev/null --cacert "$scratch/ca.pem" "https://127.0.0.1:$metrics_port/metrics" |
  grep -qi '^WWW-Authenticate: Basic realm="tavrel-collector"' || fail "no Basic challenge with the 401"
if curl -sS --max-time 5 "http://127.0.0.1:$metrics_port/metrics" 2>/dev/null | grep -q tavrel_; then
  fail "plain HTTP to the TLS port got metrics"
fi

echo "off 3" >&3
start=$SECONDS
wait_for $((scrape_interval + 30)) "r3 down in Prometheus" is 'tavrel_repeater_up{repeater="r3"}' 0
down_after=$((SECONDS - start))
is 'count(tavrel_repeater_up == 1)' 4 || fail "the other four are not all up"

echo "alarm 2 4" >&3
wait_for 20 "r2's Rx PLL alarm active in Prometheus" is 'tavrel_alarm_active{repeater="r2",alarm="rx_pll"}' 1
is 'sum(tavrel_alarm_active)' 1 || fail "an alarm other than r2's Rx PLL is active: $(query 'sum(tavrel_alarm_active)')"

# Client certificates, switched on while the collector runs (the web config is read again within 5 s): without
# one no metrics, with one of the CA's the metrics.
openssl req "${ec[@]}" -keyout "$scratch/client.key" -out "$scratch/client.csr" -subj /CN=scraper 2>>"$scratch/openssl.log"
printf 'extendedKeyUsage=clientAuth\n' >"$scratch/client.ext"
openssl x509 -req -in "$scratch/client.csr" -CA "$scratch/ca.pem" -CAkey "$scratch/ca.key" -CAcreateserial \
  -out "$scratch/client.pem" -days 2 -extfile "$scratch/client.ext" 2>>"$scratch/openssl.log"
sed -i 's/^  min_version: TLS12$/  min_version: TLS12\n  client_auth_type: RequireAndVerifyClientCert\n  client_ca_file: ca.pem/' \
  "$scratch/web.yml"
with_cert() { [[ "$(status -u "prometheus:$password" --cert "$scratch/client.pem" --key "$scratch/client.key")" == 200 ]]; }
no_cert() { [[ "$(status -u "prometheus:$password" 2>/dev/null)" != 200 ]]; }
wait_for 15 "client certificates asked for after the web config changed" no_cert
with_cert || fail "a client certificate of the CA is refused"
grep -q "web config .*web.yml reloaded" "$scratch/collector.log" || fail "the reload is not in the log"

echo quit >&3
echo "prometheus over TLS with basic auth: all five up, r3 down within ${down_after} s, r2's alarm seen; wrong or no password 401; client certificates switched on while running"
