#!/usr/bin/env bash
# Installs every Debian package Morvix needs to build, test and run.
# Idempotent: when everything is present nothing is installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang-format
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins fonts-dejavu-core
  qt6-multimedia-dev qt6-webengine-dev
  libmspack-dev gcab mscompress
  xdg-utils
  clang libclang-rt-dev
  xvfb xauth
  qstat jq time
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi

echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
