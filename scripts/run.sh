#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Morvix and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build

if [ -x build/src/app/morvix ]; then
    exec build/src/app/morvix "$@"
fi
echo "Morvix is built (libraries, tests and benchmarks), but its main window is not there yet:"
echo "there is nothing to start. Run scripts/test.sh to run the test suite."
