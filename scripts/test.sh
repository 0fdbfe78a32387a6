#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite under AddressSanitizer +
# UndefinedBehaviorSanitizer (a debug build that also catches leaks, over-reads and undefined behaviour),
# the tests of every folder with threads under ThreadSanitizer, and builds the Debian package from the
# release build and checks it (scripts/check-package.sh). The plain debug preset runs the same suite without
# the sanitizers (ctest --preset debug); it is left out here so that the whole run stays within 20 minutes on
# two cores.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-deps.sh
echo "== asan build and test suite"
cmake --preset asan
cmake --build --preset asan
QT_QPA_PLATFORM=offscreen ctest --preset asan --output-on-failure

echo "== tsan build and the tests of the folders with threads"
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan --output-on-failure

echo "== package checks"
bash scripts/check-package.sh
