#!/usr/bin/env bash
# Installs the Debian packages the build needs when they are missing (as root).
set -euo pipefail
need=()
for pkg in cmake g++ make clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev mdbtools-dev mdbtools pkg-config qt6-base-dev xvfb xdotool imagemagick dpkg-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
  else
    echo "missing packages: ${need[*]} (run as root, or install them)" >&2
    exit 1
  fi
fi
