#!/usr/bin/env bash
# Installs what is missing, builds Tavrel and starts it.
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

# Runs the tool in the foreground; without a display it gets a virtual one (nothing is seen on screen then).
start_tool() {
  local tool="build/$preset/bin/tavrel"
  if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    "$tool"
  else
    echo "No display found: starting Tavrel on a virtual X display (xvfb-run)." >&2
    xvfb-run -a "$tool"
  fi
}

build
start_tool
