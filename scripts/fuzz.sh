#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each one.
#   scripts/fuzz.sh                         every target for 10 minutes
#   scripts/fuzz.sh --seconds 60 hl_players every named target for 60 s
#   scripts/fuzz.sh --runs 20000            every target for 20,000 inputs (CI)
# Each target starts from the seeds the simulator's encoders write, the
# inputs kept under tests/data/fuzz/<target>/ and what earlier runs found
# (build-fuzz/fuzz-work/corpus/). An input that fails is saved under
# build-fuzz/fuzz-work/artifacts/<target>/ and the script stops; copy it to
# tests/data/fuzz/<target>/ once it is fixed, so the normal tests read it.
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-max_total_time=600)
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) limit=(-runs="$2"); shift 2 ;;
    --seconds) limit=(-max_total_time="$2"); shift 2 ;;
    -h | --help) sed -n '2,12p' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
    esac
done

build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DMORVIX_FUZZ=ON -DMORVIX_BUILD_TESTS=OFF -DMORVIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target morvix_fuzzers

work=$PWD/$build/fuzz-work
rm -rf "$work/seeds"
"$build/fuzz/morvix-fuzz-seeds" "$work/seeds"
if [ ${#targets[@]} -eq 0 ]; then
    for target in "$build"/fuzz/fuzz_*; do
        if [ -f "$target" ] && [ -x "$target" ]; then
            targets+=("${target##*/fuzz_}")
        fi
    done
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp

for target in "${targets[@]}"; do
    binary=$build/fuzz/fuzz_$target
    if [ ! -x "$binary" ]; then
        echo "fuzz.sh: no target $target" >&2
        exit 2
    fi
    corpus=$work/corpus/$target
    artifacts=$work/artifacts/$target
    mkdir -p "$corpus" "$artifacts"
    inputs=("$corpus" "$work/seeds/$target")
    if [ -d "tests/data/fuzz/$target" ]; then
        inputs+=("tests/data/fuzz/$target")
    fi
    # One input taking a minute is a hang; less can be a busy machine.
    options=("${limit[@]}" -rss_limit_mb=2048 -timeout=60 -max_len=65536
             -print_final_stats=1 -artifact_prefix="$artifacts/")
    if [ -f "fuzz/$target.dict" ]; then
        options+=(-dict="fuzz/$target.dict")
    fi
    echo "=== fuzz_$target"
    if ! "$binary" "${options[@]}" "${inputs[@]}" 2>"$work/$target.log"; then
        tail -n 60 "$work/$target.log" >&2
        echo "fuzz.sh: fuzz_$target failed; the input is in $artifacts" >&2
        exit 1
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$work/$target.log" || true
done
