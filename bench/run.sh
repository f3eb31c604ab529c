#!/usr/bin/env bash
# Whole-program benchmarks against the loopback simulator, morvix-query
# beside quakestat (Debian's qstat) on the same simulated servers in one run:
#   (a) Quake 3 lists of Q3_SMALL and Q3_LARGE servers and a mix of the nine
#       games both programs read (PER_GAME servers each), at concurrency 15,
#       200 and no limit: wall time, CPU per answer, servers answered,
#       re-sent queries and time-outs, medians of REPEATS runs, and
#       morvix-query's ratios to quakestat;
#   (b) the main window, offscreen (bench_windowround), "No limit" over
#       PER_GAME_BIG servers of each of the ten games: servers answered, lost
#       (timed out), replies the system dropped, the longest event-loop stall.
# Then which goals the figures meet. Builds what it needs (build/); qstat, jq
# and time come from scripts/install-deps.sh.
#   bench/run.sh [Q3_SMALL [Q3_LARGE [PER_GAME [PER_GAME_BIG [REPEATS]]]]]
set -euo pipefail
cd "$(dirname "$0")/.."

q3_small=${1:-1000}
q3_large=${2:-5000}
per_game=${3:-100}
big_per_game=${4:-1000}
repeats=${5:-5}
timeout_ms=1500
retries=2
concurrencies=(15 200 0)
# The games of the mix: every game whose servers both programs read here
# (quakestat reads no Tribes 2 reply of this protocol).
mix_games=(q3 q2 qw hl tribes kingpin heretic2 sin sof)
declare -A qstat_type=([q3]=q3s [q2]=q2s [qw]=qws [hl]=hls [tribes]=tbs [kingpin]=kps
                       [heretic2]=hrs [sin]=sns [sof]=sfs)

for tool in quakestat jq /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is missing; run scripts/install-deps.sh" >&2; exit 1; }
done
# Both programs and the simulator hold a socket per server or more.
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target morvix-query morvix-sim bench_windowround >/dev/null
query=build/src/cli/morvix-query
sim=build/sim/morvix-sim
window=build/bench/bench_windowround

work=$(mktemp -d)
sim_pid=""
stop_sim() {
    if [ -n "$sim_pid" ]; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=""
    fi
}
cleanup() {
    stop_sim
    rm -rf "$work"
}
trap cleanup EXIT

# start_sim ARGS...: starts the simulator and waits until it printed what it bound.
start_sim() {
    : >"$work/sim.json"
    "$sim" "$@" >"$work/sim.json" 2>"$work/sim.err" &
    sim_pid=$!
    for _ in $(seq 1 1200); do
        bound && return 0
        kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.err" >&2; exit 1; }
        sleep 0.05
    done
    echo "bench: the simulator did not start" >&2
    exit 1
}
bound() { [ -s "$work/sim.json" ] && jq -e '.servers | length > 0' "$work/sim.json" >/dev/null 2>&1; }

calc() { awk "BEGIN { print $* }"; }

# to_qstat LIST QSTATLIST: "GAME ADDRESS" lines as quakestat's "TYPE ADDRESS".
to_qstat() {
    while read -r game address; do echo "${qstat_type[$game]} $address"; done <"$1" >"$2"
}

# measure COUNT -- COMMAND...: runs COMMAND REPEATS times with its output in
# $work/out; COUNT prints "answered retries timeouts" of that output. Prints
# the median of each figure: "wall cpu answered retries timeouts". CPU time
# is the children's user and system time as the shell's "times" gives it, to
# the millisecond (GNU time prints only hundredths).
measure() {
    local count=$1
    shift 2
    local runs=() wall user system
    for _ in $(seq 1 "$repeats"); do
        (
            /usr/bin/time -f "%e" -o "$work/time" "$@" >"$work/out" 2>"$work/err" || true
            times
        ) >"$work/times"
        wall=$(tail -n 1 "$work/time")
        read -r user system < <(sed -n 2p "$work/times" | sed 's/\([0-9]*\)m\([0-9.]*\)s/\1 \2/g' |
            awk '{ print $1 * 60 + $2, $3 * 60 + $4 }')
        runs+=("$wall $(calc "$user + $system") $($count)")
    done
    local medians=() column
    for column in 1 2 3 4 5; do
        medians+=("$(printf '%s\n' "${runs[@]}" | awk -v k="$column" '{ print $k }' | sort -g |
            sed -n "$(((repeats + 1) / 2))p")")
    done
    echo "${medians[*]}"
}
morvix_count() {
    jq -rs '[length, ([.[] | select(.status == "ok")] | length), (map(.retries) | add // 0),
             ([.[] | select(.status == "timeout")] | length)] | "\(.[1]) \(.[2]) \(.[3])"' "$work/out"
}
# quakestat prints no count of its re-sends; a server it gave up on is "timeout" or "offline".
qstat_count() {
    jq -r '"\([.[] | select(.status == "online")] | length) - \([.[] | select(.status != "online")] | length)"' "$work/out"
}

goals=()
# goal TEXT VALUE LIMIT: the goal is met when VALUE is at most LIMIT.
goal() {
    local verdict="not met"
    if [ "$(calc "($2 <= $3) ? 1 : 0")" = 1 ]; then verdict="met"; fi
    goals+=("$(printf '%-72s %s' "$1" "$verdict")")
}

header() {
    printf '%-34s %6s %5s %8s %8s %10s %8s %7s %8s\n' run servers C "wall s" "cpu s" \
        "cpu ms/ans" answered retries timeouts
}
row() {
    local name=$1 servers=$2 c=$3 wall=$4 cpu=$5 answered=$6 resent=$7 timeouts=$8
    local per="-"
    [ "$answered" -gt 0 ] && per=$(printf '%.4f' "$(calc "$cpu * 1000 / $answered")")
    printf '%-34s %6d %5s %8.3f %8.3f %10s %8d %7s %8s\n' "$name" "$servers" "$c" "$wall" "$cpu" \
        "$per" "$answered" "$resent" "$timeouts"
}

# (a) morvix-query beside quakestat.
games=$(IFS=,; echo "${mix_games[*]}")
start_sim --games "$games" --servers "$per_game" --count "q3=$q3_large" --seed 7
jq -r '.servers[] | select(.game == "q3") | "q3 127.0.0.1:\(.port)"' "$work/sim.json" \
    >"$work/q3-large.list"
head -n "$q3_small" "$work/q3-large.list" >"$work/q3-small.list"
: >"$work/mix.list"
for game in "${mix_games[@]}"; do
    jq -r --arg g "$game" --argjson n "$per_game" \
        '[.servers[] | select(.game == $g)][:$n][] | "\($g) 127.0.0.1:\(.port)"' \
        "$work/sim.json" >>"$work/mix.list"
done
for list in q3-small q3-large mix; do
    to_qstat "$work/$list.list" "$work/$list.qstat"
done

echo "Machine: $(nproc) cores, $(. /etc/os-release; echo "$PRETTY_NAME"), kernel $(uname -r);" \
    "net.core.rmem_max $(cat /proc/sys/net/core/rmem_max)"
echo "Time-out $timeout_ms ms, $retries retries; medians of $repeats runs; C = concurrency (0: no limit)."
echo "morvix-query's limit is per query component, as in the browser; quakestat's -maxsim is one"
echo "limit for all, so in the mix it gets C x ${#mix_games[@]}, and for no limit the list's length."
header

compare() {
    local label=$1 list=$2 c=$3 games_in=$4
    local count maxsim
    count=$(wc -l <"$work/$list.list")
    maxsim=$((c * games_in))
    [ "$c" -eq 0 ] && maxsim=$count
    read -r mw mc ma mr mt < <(measure morvix_count -- "$query" --json \
        --max-queries "$c" --timeout "$timeout_ms" --retries "$retries" --file "$work/$list.list")
    row "morvix-query $label" "$count" "$c" "$mw" "$mc" "$ma" "$mr" "$mt"
    read -r qw qc qa qr qt < <(measure qstat_count -- quakestat -json -P -R -maxsim "$maxsim" \
        -interval "$(calc "$timeout_ms / 1000")" -retry "$retries" -f "$work/$list.qstat")
    row "quakestat $label" "$count" "$c" "$qw" "$qc" "$qa" "$qr" "$qt"
    printf '    morvix-query / quakestat: wall %.2f, cpu per answer %.2f\n' \
        "$(calc "$mw / ($qw + 0.000001)")" \
        "$(calc "($mc / ($ma + 0.000001)) / ($qc / ($qa + 0.000001) + 0.000000001)")"
    goal "wall <= 1.2 x quakestat's ($label, C=$c)" "$mw" "$(calc "1.2 * $qw")"
    goal "cpu per answer <= quakestat's ($label, C=$c)" \
        "$(calc "$mc / ($ma + 0.000001)")" "$(calc "$qc / ($qa + 0.000001)")"
    if [ "$c" -eq 0 ]; then
        goal "every server answered on the first try ($label, no limit)" \
            "$(calc "$mr + $mt + $count - $ma")" 0
    fi
}
for c in "${concurrencies[@]}"; do
    compare "q3 $q3_small" q3-small "$c" 1
    compare "q3 $q3_large" q3-large "$c" 1
    compare "mix of ${#mix_games[@]} games" mix "$c" "${#mix_games[@]}"
done
stop_sim

# (b) the window, "No limit", every game.
start_sim --servers "$big_per_game" --seed 9
jq -r '.servers[] | "\(.game) 127.0.0.1:\(.port)"' "$work/sim.json" >"$work/big.list"
big_count=$(wc -l <"$work/big.list")
window_count() {
    awk '{ v[$1] = $2 } END { print v["answered"] + 0, v["timed_out"] + 0, v["dropped"] + 0,
         v["stall_ms"] + 0, v["round_s"] + 0, v["receive_buffer_bytes"] + 0 }' "$work/out"
}
stalls=()
lost=()
for _ in $(seq 1 "$repeats"); do
    "$window" --max-queries 0 --timeout "$timeout_ms" --retries "$retries" \
        --file "$work/big.list" >"$work/out" 2>"$work/err" || true
    read -r answered timed_out dropped stall seconds buffer < <(window_count)
    printf 'window, no limit: %d servers, %d answered, %d lost, %d dropped, round %.2f s, longest stall %.1f ms\n' \
        "$big_count" "$answered" "$timed_out" "$dropped" "$seconds" "$stall"
    stalls+=("$stall")
    lost+=("$((big_count - answered))")
done
median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }
echo "window receive buffer granted per socket: $buffer bytes"
echo "window medians: lost $(median "${lost[@]}"), longest stall $(median "${stalls[@]}") ms"
goal "window, no limit, $big_count servers: 0 lost (median)" "$(median "${lost[@]}")" 0
goal "window, no limit: longest event-loop stall < 50 ms (median)" "$(median "${stalls[@]}")" 49.999

echo "Goals:"
printf '  %s\n' "${goals[@]}"
