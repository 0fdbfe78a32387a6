#!/usr/bin/env bash
# Installs what is missing, builds the debug preset and runs the whole test suite.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh
cmake --preset debug
cmake --build --preset debug
QT_QPA_PLATFORM=offscreen ctest --preset debug --output-on-failure -j 2
