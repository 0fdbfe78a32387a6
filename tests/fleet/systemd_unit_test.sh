#!/usr/bin/env bash
# `systemd-analyze verify` of the collector's unit, with ExecStart pointed at the built program (verify wants the
# binary to exist) and an instance name, as systemctl would load it. Exit 77 (skipped) without systemd-analyze.
# Usage: systemd_unit_test.sh UNIT_FILE TAVREL_COLLECTOR
set -euo pipefail
unit=$1
collector=$2
if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze is not installed (Debian package systemd): skipped"
  exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
grep -q '^ExecStart=/usr/bin/tavrel-collector --config /etc/tavrel/%i.conf$' "$unit" || {
  echo "FAIL: ExecStart is not the installed program with the instance's settings file" >&2
  exit 1
}
sed "s|/usr/bin/tavrel-collector|$collector|" "$unit" >"$scratch/tavrel-collector@.service"
ln -s "tavrel-collector@.service" "$scratch/tavrel-collector@north.service"
# Any output is a finding (systemd-analyze exits 0 on some warnings).
if ! report=$(systemd-analyze verify --man=no "$scratch/tavrel-collector@north.service" 2>&1) || [[ -n "$report" ]]; then
  echo "FAIL: systemd-analyze verify:" >&2
  echo "$report" >&2
  exit 1
fi
for setting in Type=notify WatchdogSec= DynamicUser=yes StateDirectory= ExecReload= NoNewPrivileges=yes; do
  grep -q "^$setting" "$unit" || {
    echo "FAIL: the unit has no $setting" >&2
    exit 1
  }
done
echo "systemd-analyze verify: clean"
