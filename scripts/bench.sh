#!/usr/bin/env bash
# Builds the release preset (tests off) and runs every benchmark under bench/, printing one table.
# Usage: scripts/bench.sh [tavrel_bench options, e.g. --quick or --only idle,log] (see bench/README.md)
# Standard output carries only the table; the build and the progress go to standard error.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh >&2
cmake --preset release >&2
cmake --build --preset release --target tavrel_bench tavrel-repeater tavrel-collector >&2
exec build/release/bin/tavrel_bench "$@"
