#!/usr/bin/env bash
# Installs what building and testing need on a fresh Debian machine.
# Idempotent: installs only the packages that are missing.
set -euo pipefail
packages=(cmake make g++ gfortran clang libclang-rt-14-dev libgtest-dev libgmock-dev
  libbenchmark-dev libopenmpi-dev openmpi-bin
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev qt6-tools-dev qt6-tools-dev-tools
  libgl-dev fonts-dejavu-core dbus-daemon
  dbus-bin ninja-build dpkg-dev desktop-file-utils python3-dbus)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
