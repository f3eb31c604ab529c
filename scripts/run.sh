#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Morvix and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build

exec build/src/app/morvix "$@"
