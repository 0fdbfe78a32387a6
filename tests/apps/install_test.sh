#!/usr/bin/env bash
# Installs the tool into a scratch prefix that only root may write, as a package puts it into /usr, runs it
# there as an ordinary user (through the install driver, which plays the operator) and checks that the run
# log lands in that user's XDG state directory and names its own path.
# Usage: install_test.sh BUILD_DIR INSTALL_DRIVER; exits 77 (skipped) when not run as root.
set -euo pipefail
build_dir=$1
driver=$2
if [[ $(id -u) -ne 0 ]]; then
  echo "skipped: needs root to install read-only and run as another user"
  exit 77
fi
nobody=65534

scratch=$(mktemp -d /tmp/tavrel-install-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
prefix=$scratch/prefix
cmake --install "$build_dir" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/tavrel"
cp "$driver" "$prefix/bin/"
chmod -R a-w "$prefix"

home=$scratch/home
runtime=$scratch/runtime
mkdir -m 700 "$home" "$runtime"
chown "$nobody:$nobody" "$home" "$runtime"

environment=(PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=offscreen)
# The asan preset's sanitizer settings (its leak suppressions among them) go through to the tool.
for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
  if [[ -n ${!name:-} ]]; then
    environment+=("$name=${!name}")
  fi
done
output=$(env -i "${environment[@]}" setpriv --reuid=$nobody --regid=$nobody --clear-groups \
  "$prefix/bin/$(basename "$driver")" 2>"$scratch/stderr") || {
  echo "the installed tool failed:"; echo "$output"; cat "$scratch/stderr"; exit 1
}
echo "$output"

fail() {
  echo "FAIL: $*"
  exit 1
}
log_dir=$home/.local/state/tavrel/log
grep -qxF "log $log_dir" <<<"$output" || fail "the log directory is not $log_dir"
! grep -q '^box Cannot' <<<"$output" || fail "a run file failure was shown"
[[ ! -e $prefix/bin/log ]] || fail "$prefix/bin/log was made"
[[ $(stat -c '%u %a' "$home/.local/state") == "$nobody 700" ]] || fail "the state directory is not the user's own"

shopt -s nullglob
run_logs=("$log_dir"/repeater\[127.0.9.99\]_*.log)
[[ ${#run_logs[@]} -eq 1 ]] || fail "expected one run log in $log_dir, found ${#run_logs[@]}"
run_log=${run_logs[0]}
grep -qE "^[0-9]{8} [0-9]{6}>> The Velmont v" "$run_log" || fail "no version banner in $run_log"
named=$(sed -n 's/^[0-9]\{8\} [0-9]\{6\}>> Run log: //p' "$run_log")
[[ $named == "$run_log" ]] || fail "$run_log names '$named' instead of itself"
echo "run log: $run_log"
