#!/usr/bin/env bash
# Start-up time and memory of morvix: each program given is started RUNS
# times (20) offscreen, with empty settings in a temporary folder, and ends
# once its windows are built and its start-up steps have run (the preloaded
# bench_startup_quit ends its event loop when it first runs out of work).
# Prints the medians of wall time, CPU time and peak memory per program.
#
#   bash bench/startup.sh [--runs N] [MORVIX ...]    (default build/src/app/morvix)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=20
if [ "${1:-}" = "--runs" ]; then
    runs=$2
    shift 2
fi
programs=("$@")
if [ ${#programs[@]} -eq 0 ]; then
    programs=(build/src/app/morvix)
fi

if [ ! -x /usr/bin/time ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    echo "startup: installing time" >&2
    $sudo apt-get update -qq >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends time >&2
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target morvix bench_startup_quit >/dev/null
preload=$PWD/build/bench/bench_startup_quit.so

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for program in "${programs[@]}"; do
    work=$(mktemp -d)
    walls=() cpus=() peaks=() engine=""
    for _ in $(seq 1 "$runs"); do
        rm -rf "$work/home" && mkdir -p "$work/home"
        out=$(env -i PATH="$PATH" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
            XDG_DATA_HOME="$work/home/.local/share" XDG_CACHE_HOME="$work/home/.cache" \
            XDG_RUNTIME_DIR="$work/home" QT_QPA_PLATFORM=offscreen LD_PRELOAD="$preload" \
            timeout 60 /usr/bin/time -f 'time %e %U %S %M' "$program" 2>&1 >/dev/null) || {
            echo "startup: $program did not end by itself" >&2
            exit 1
        }
        read -r wall user system peak < <(grep '^time ' <<<"$out" | cut -d' ' -f2-)
        engine=$(grep -o 'web engine [a-z ]*' <<<"$out" || echo "web engine ?")
        walls+=("$wall") cpus+=("$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')")
        peaks+=("$peak")
    done
    rm -rf "$work"
    printf '%s: %d starts, median wall %.0f ms, cpu %.0f ms, peak memory %.1f MB; %s\n' \
        "$program" "$runs" \
        "$(printf '%s\n' "${walls[@]}" | median | awk '{ print $1 * 1000 }')" \
        "$(printf '%s\n' "${cpus[@]}" | median | awk '{ print $1 * 1000 }')" \
        "$(printf '%s\n' "${peaks[@]}" | median | awk '{ print $1 / 1024 }')" "$engine"
done
