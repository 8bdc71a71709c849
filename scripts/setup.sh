#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root or with sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
packages=(build-essential cmake ninja-build clang libclang-rt-14-dev clang-format clang-tidy
  qt6-base-dev qt6-base-dev-tools libgl-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  pxlib-dev mdbtools xvfb xauth)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Node.js may come from elsewhere with its own npm; take Debian's only when there is none.
command -v node >/dev/null 2>&1 || missing+=(nodejs)
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
# mdb-reader, the independent Access reader the tests compare with.
if [ ! -d tests/js/node_modules/mdb-reader ]; then
  (cd tests/js && npm install --no-audit --no-fund --loglevel=error)
fi
