#!/usr/bin/env bash
# Builds the release preset's collector, emulator and fleet bench, then runs the bench: one collector against
# 1,000 emulated repeaters on 127.0.10.1 onwards, printing the README's fleet table (about 2 minutes).
# Usage: scripts/fleet-bench.sh [--repeaters N] [--steady-seconds S] [--load-seconds S]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh >&2
cmake --preset release >&2
cmake --build --preset release --target tavrel_fleet_bench tavrel-collector tavrel-repeater >&2
exec build/release/bin/tavrel_fleet_bench "$@"
