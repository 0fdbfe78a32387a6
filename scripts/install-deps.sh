#!/usr/bin/env bash
# Installs the Debian packages that Tavrel needs to build, test and run, plus any named on the command line;
# does nothing when all are present.
set -euo pipefail

packages=(
  cmake ninja-build g++            # build
  qt6-base-dev qt6-svg-dev libgl-dev # Qt 6 Widgets and SVG icons (Qt's CMake files look for OpenGL)
  libgtest-dev libgmock-dev        # tests
  libbenchmark-dev                 # benchmarks under bench/
  prometheus-cpp-dev               # the collector's metric model and exposition text
  libsystemd-dev pkg-config        # the collector's systemd notifications (Type=notify, watchdog)
  libmicrohttpd-dev libgnutls28-dev # the collector's HTTP server (external epoll, no thread) and its TLS
  libyaml-cpp-dev                  # the collector's web config (exporter-toolkit format)
  libcrypt-dev                     # bcrypt checks of the web config's basic-auth users (libxcrypt)
  openssl apache2-utils            # a throw-away CA and htpasswd's bcrypt hash in the Prometheus TLS test
  prometheus                       # the collector's integration test and `promtool test rules`
  prometheus-alertmanager          # alerts seen arriving (tests/fleet/alerts_test.sh) and `amtool check-config`
  python3                          # the alert test's webhook receiver
  systemd                          # `systemd-analyze verify` of the collector's unit
  curl jq                          # the collector's program tests ask its metrics and Prometheus's API
  fonts-liberation                 # Liberation Serif stands in for "Times New Roman"
  xvfb xauth                       # a virtual display where none is available
  openbox xdotool                  # a window manager on it, and real keys and clicks (window placement test)
  socat                            # poking the UDP and TCP ports by hand
  iproute2                         # network namespaces of the power-cut fault test
  "$@"                             # extra packages a script asks for (e.g. clang for fuzzing)
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [[ "$status" == installed ]] || missing+=("$package")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if ((EUID != 0)); then
  sudo=(sudo)
fi
"${sudo[@]}" apt-get update
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
