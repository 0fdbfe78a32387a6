#!/usr/bin/env bash
# Runs a test program on a virtual X display under a real window manager (Xvfb and openbox, keys and clicks
# by xdotool). Exits 77, which CTest counts as skipped, when one of them is not installed.
set -euo pipefail

for tool in Xvfb openbox xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (scripts/install-deps.sh installs it)"
    exit 77
  fi
done

dir=$(mktemp -d)
x_pid=""
wm_pid=""
cleanup() {
  [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null
  [[ -n "$x_pid" ]] && kill "$x_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

# Xvfb writes the display number it took once it accepts connections.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
x_pid=$!
for _ in $(seq 100); do
  [[ -s "$dir/display" ]] && break
  sleep 0.05
done
[[ -s "$dir/display" ]] || { cat "$dir/xvfb.log"; echo "Xvfb did not start"; exit 1; }
DISPLAY=":$(head -n1 "$dir/display")"
export DISPLAY

# openbox runs its start-up command once it manages the screen.
openbox --sm-disable --startup "touch $dir/ready" >"$dir/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
  [[ -e "$dir/ready" ]] && break
  sleep 0.05
done
[[ -e "$dir/ready" ]] || { cat "$dir/openbox.log"; echo "openbox did not start"; exit 1; }

QT_QPA_PLATFORM=xcb "$@"
