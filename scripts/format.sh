#!/usr/bin/env bash
# Applies the repository's .clang-format to every C++ file git tracks.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format -i
