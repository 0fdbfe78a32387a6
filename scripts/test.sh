#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice: as the debug build, and under
# AddressSanitizer + UndefinedBehaviorSanitizer (which also catch leaks, over-reads and undefined behaviour);
# then builds the Debian package from the release build and checks it (scripts/check-package.sh).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh
for preset in debug asan; do
  echo "== $preset build and test suite"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  QT_QPA_PLATFORM=offscreen ctest --preset "$preset" --output-on-failure
done

echo "== package checks"
bash scripts/check-package.sh
