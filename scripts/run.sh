#!/usr/bin/env bash
# Installs what is missing, builds Tavrel, starts the bundled repeater emulator on 127.0.0.2 in the background,
# then the tool; the emulator is stopped when the tool exits.
# Usage: scripts/run.sh [release|debug]   (release by default)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

preset="${1:-release}"
case "$preset" in
  release | debug) ;;
  *)
    echo "usage: $0 [release|debug]" >&2
    exit 2
    ;;
esac

build() {
  bash scripts/install-deps.sh
  cmake --preset "$preset"
  cmake --build --preset "$preset"
}

# The emulated repeater answers on 127.0.0.2:2301; what it receives goes to its log file.
start_emulator() {
  local log="build/$preset/tavrel-repeater.log"
  "build/$preset/bin/tavrel-repeater" --address 127.0.0.2 </dev/null >"$log" 2>&1 &
  emulator_pid=$!
  trap 'kill "$emulator_pid" 2>/dev/null || true; wait "$emulator_pid" 2>/dev/null || true' EXIT
  echo "Repeater emulator running on 127.0.0.2 (its console: $log)."
  echo "The setup dialog comes filled in for it (Monitor Rx Address 127.0.0.1, Repeater Address 127.0.0.2)."
}

# Runs the tool in the foreground; without a display it gets a virtual one (nothing is seen on screen then).
start_tool() {
  local tool=("build/$preset/bin/tavrel" --repeater 127.0.0.2 --local 127.0.0.1)
  if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    "${tool[@]}"
  else
    echo "No display found: starting Tavrel on a virtual X display (xvfb-run)." >&2
    xvfb-run -a "${tool[@]}"
  fi
}

build
start_emulator
start_tool
