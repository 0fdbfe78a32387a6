#!/usr/bin/env bash
# Builds the Debian package build/release/tavrel_<version>_<arch>.deb in one command, from a fresh clone or
# again at any time: installs what is missing, configures and builds the release preset (no tests), runs
# CPack. Progress goes to standard error; standard output is the package's path alone, so that
#   apt install "$(bash scripts/package.sh)"
# works.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

{
  # dpkg-shlibdeps (dpkg-dev) finds the package's dependencies; CPack looks at the programs with file.
  bash scripts/install-deps.sh dpkg-dev file
  cmake --preset release
  cmake --build --preset release -j "$(nproc)"
  # One package in the folder: one of an older version would leave the path below ambiguous.
  rm -f build/release/tavrel_*.deb
  cpack --preset release
} >&2

packages=(build/release/tavrel_*.deb)
if ((${#packages[@]} != 1)) || [[ ! -f "${packages[0]}" ]]; then
  echo "package.sh: CPack made no single tavrel_*.deb in build/release" >&2
  exit 1
fi
echo "$PWD/${packages[0]}"
