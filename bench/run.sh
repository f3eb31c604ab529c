#!/usr/bin/env bash
# Whole-program benchmarks of morvix-query against the loopback simulator,
# beside quakestat (Debian's qstat) on the same simulated servers:
#   (a) the engine's pacing bound: N servers at concurrency C take about
#       N / C x 0.1 s (an answered request leaves the active list at the next
#       100 ms scan); measured / bound for morvix-query;
#   (b) morvix-query and quakestat, same concurrency and time-out, on 1,000
#       Quake 3 servers and on a mix of every game both read: wall time, CPU
#       time, peak memory, answers, and the ratios;
#   (c) the same rounds through the main window, offscreen (bench_windowround),
#       with the window's ratios to morvix-query, and one round of 10,000
#       servers of all ten games through both, for the window's peak memory.
# Then which goals the figures meet. Builds what it needs (build/), installs
# qstat, jq and time when missing.
#   bench/run.sh [Q3_SERVERS [PER_GAME_IN_MIX [CONCURRENCY [PER_GAME_IN_BIG]]]]
set -euo pipefail
cd "$(dirname "$0")/.."

q3_servers=${1:-1000}
per_game=${2:-100}
concurrency=${3:-15}
big_per_game=${4:-1000}
timeout_ms=1500
retries=2
# The games of the mix: every game whose servers both programs read here
# (quakestat reads no Tribes 2 reply of this protocol).
mix_games=(q3 q2 qw hl tribes kingpin heretic2 sin sof)
declare -A qstat_type=([q3]=q3s [q2]=q2s [qw]=qws [hl]=hls [tribes]=tbs [kingpin]=kps
                       [heretic2]=hrs [sin]=sns [sof]=sfs)

need=()
command -v quakestat >/dev/null || need+=(qstat)
command -v jq >/dev/null || need+=(jq)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    echo "bench: installing ${need[*]}" >&2
    $sudo apt-get update -qq >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >&2
fi

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

games=$(IFS=,; echo "${mix_games[*]}")
start_sim --games "$games" --servers "$per_game" --count "q3=$q3_servers" --seed 7

# Address lists: "GAME ADDRESS" for morvix-query, "TYPE ADDRESS" for quakestat.
jq -r '.servers[] | select(.game == "q3") | "q3 127.0.0.1:\(.port)"' "$work/sim.json" \
    >"$work/q3.list"
: >"$work/mix.list"
for game in "${mix_games[@]}"; do
    jq -r --arg g "$game" --argjson n "$per_game" \
        '[.servers[] | select(.game == $g)][:$n][] | "\($g) 127.0.0.1:\(.port)"' \
        "$work/sim.json" >>"$work/mix.list"
done
to_qstat() {
    while read -r game address; do echo "${qstat_type[$game]} $address"; done <"$1" >"$2"
}
to_qstat "$work/q3.list" "$work/q3.qstat"
to_qstat "$work/mix.list" "$work/mix.qstat"

calc() { awk "BEGIN { print $* }"; }

# measure ANSWERS -- COMMAND...: runs COMMAND five times with its output in
# $work/out and prints the median of each figure: "wall cpu peak_kb answers".
# CPU time is the children's user and system time as the shell's "times"
# gives it, to the millisecond (GNU time prints only hundredths); peak memory
# is GNU time's maximum resident size. Five runs, because quakestat's system
# time varies widely from run to run (it opens, binds and connects a socket
# for every server), and the median leaves out two outliers.
repeats=5
measure() {
    local count=$1
    shift 2
    local runs=() wall peak user system
    for _ in $(seq 1 "$repeats"); do
        (
            /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out" 2>"$work/err" || true
            times
        ) >"$work/times"
        read -r wall peak < <(tail -n 1 "$work/time")
        read -r user system < <(sed -n 2p "$work/times" | sed 's/\([0-9]*\)m\([0-9.]*\)s/\1 \2/g' |
            awk '{ print $1 * 60 + $2, $3 * 60 + $4 }')
        runs+=("$wall $(calc "$user + $system") $peak $($count)")
    done
    local medians=() column
    for column in 1 2 3 4; do
        medians+=("$(printf '%s\n' "${runs[@]}" | awk -v k="$column" '{ print $k }' | sort -g |
            sed -n "$(((repeats + 1) / 2))p")")
    done
    echo "${medians[*]}"
}
morvix_answers() { grep -c '"status":"ok"' "$work/out" || true; }
window_answers() { awk '$1 == "answered" { n = $2 } END { print n + 0 }' "$work/out"; }
qstat_answers() { jq '[.[] | select(.status == "online")] | length' "$work/out"; }

printf '%s\n' "Machine: $(nproc) cores, $(. /etc/os-release; echo "$PRETTY_NAME"); concurrency $concurrency, time-out $timeout_ms ms, $retries retries; medians of $repeats runs"
printf '%-44s %6s %8s %8s %8s %8s %10s %9s\n' run servers "wall s" "cpu s" "peak MB" answered \
    "cpu ms/ans" "wall/bound"

row() {
    local name=$1 servers=$2 wall=$3 cpu=$4 peak=$5 answered=$6 bound=${7:-}
    local per="-" ratio="-"
    [ "$answered" -gt 0 ] && per=$(printf '%.3f' "$(calc "$cpu * 1000 / $answered")")
    [ -n "$bound" ] && ratio=$(printf '%.3f' "$(calc "$wall / $bound")")
    printf '%-44s %6d %8.2f %8.3f %8.1f %8d %10s %9s\n' "$name" "$servers" "$wall" "$cpu" \
        "$(calc "$peak / 1024")" "$answered" "$per" "$ratio"
}

goals=()
# goal TEXT VALUE LIMIT: the goal is met when VALUE is at most LIMIT.
goal() {
    local verdict="not met"
    if [ "$(calc "($2 <= $3) ? 1 : 0")" = 1 ]; then verdict="met"; fi
    goals+=("$(printf '%-64s %s' "$1" "$verdict")")
}

q3_count=$(wc -l <"$work/q3.list")
mix_count=$(wc -l <"$work/mix.list")

# (a) pacing bound, at the concurrency asked and at 50.
for c in "$concurrency" 50; do
    bound=$(calc "$q3_count / $c * 0.1")
    read -r wall cpu peak answered < <(measure morvix_answers -- "$query" --json \
        --max-queries "$c" --timeout "$timeout_ms" --retries "$retries" --file "$work/q3.list")
    row "(a) morvix-query q3, C=$c (bound $(printf '%.2f' "$bound") s)" "$q3_count" \
        "$wall" "$cpu" "$peak" "$answered" "$bound"
    goal "wall time within 1.1 x the pacing bound (q3, C=$c)" "$(calc "$wall / $bound")" 1.1
done

ratios() {
    local what=$1 w1=$2 c1=$3 p1=$4 a1=$5 w2=$6 c2=$7 p2=$8 a2=$9
    printf '    ratios %s: wall %.2f, cpu %.2f, cpu per answer %.2f, peak memory %.2f\n' "$what" \
        "$(calc "$w1 / $w2")" "$(calc "$c1 / ($c2 + 0.000001)")" \
        "$(calc "($c1 / ($a1 + 0.000001)) / ($c2 / ($a2 + 0.000001) + 0.000000001)")" \
        "$(calc "$p1 / $p2")"
}
# startup_ms COMMAND...: CPU milliseconds of one start of COMMAND, the mean
# of 20 starts (the process's start and end, which every row's CPU includes).
startup_ms() {
    local user system
    read -r user system < <( (
        for _ in $(seq 1 20); do "$@" >/dev/null 2>&1 || true; done
        times
    ) | sed -n 2p | sed 's/\([0-9]*\)m\([0-9.]*\)s/\1 \2/g' | awk '{ print $1 * 60 + $2, $3 * 60 + $4 }')
    calc "($user + $system) * 1000 / 20"
}
printf '    start-up cpu per run (one address that does not answer): morvix-query %.1f ms, quakestat %.1f ms\n' \
    "$(startup_ms "$query" --timeout 200 --retries 0 q3 127.0.0.1:9)" \
    "$(startup_ms quakestat -q3s 127.0.0.1:9 -interval 0.2 -retry 0)"

# (b) morvix-query beside quakestat, and (c) the same round through the window.
compare() {
    local label=$1 list=$2 qlist=$3 count=$4 qstat_maxsim=$5 largest=$6
    local bound
    bound=$(calc "$largest / $concurrency * 0.1")
    read -r mw mc mp ma < <(measure morvix_answers -- "$query" --json \
        --max-queries "$concurrency" --timeout "$timeout_ms" --retries "$retries" --file "$list")
    row "(b) morvix-query $label" "$count" "$mw" "$mc" "$mp" "$ma" "$bound"
    read -r qw qc qp qa < <(measure qstat_answers -- quakestat -json -P -R -maxsim "$qstat_maxsim" \
        -interval "$(calc "$timeout_ms / 1000")" -retry "$retries" -f "$qlist")
    row "(b) quakestat $label (maxsim $qstat_maxsim)" "$count" "$qw" "$qc" "$qp" "$qa"
    ratios "morvix/quakestat" "$mw" "$mc" "$mp" "$ma" "$qw" "$qc" "$qp" "$qa"
    goal "cpu per answer, morvix-query <= quakestat ($label)" \
        "$(calc "$mc / ($ma + 0.000001)")" "$(calc "$qc / ($qa + 0.000001)")"
    read -r ww wc wp wa < <(measure window_answers -- "$window" \
        --max-queries "$concurrency" --timeout "$timeout_ms" --retries "$retries" --file "$list")
    row "(c) window $label" "$count" "$ww" "$wc" "$wp" "$wa" "$bound"
    ratios "window/morvix-query" "$ww" "$wc" "$wp" "$wa" "$mw" "$mc" "$mp" "$ma"
}
# The bound of a run is that of its largest component's share.
compare "q3" "$work/q3.list" "$work/q3.qstat" "$q3_count" "$concurrency" "$q3_count"
# Each of morvix-query's query components has its own limit, as in the
# browser; quakestat has one limit for all, so it gets one per game.
compare "mix of ${#mix_games[@]} games" "$work/mix.list" "$work/mix.qstat" "$mix_count" \
    "$((concurrency * ${#mix_games[@]}))" "$per_game"

# (c) every game's servers, big_per_game each (10,000 by default), through
# morvix-query and the window.
stop_sim
start_sim --servers "$big_per_game" --seed 9
jq -r '.servers[] | "\(.game) 127.0.0.1:\(.port)"' "$work/sim.json" >"$work/big.list"
big_count=$(wc -l <"$work/big.list")
big_bound=$(calc "$big_per_game / $concurrency * 0.1")
read -r mw mc mp ma < <(measure morvix_answers -- "$query" --json \
    --max-queries "$concurrency" --timeout "$timeout_ms" --retries "$retries" --file "$work/big.list")
row "(c) morvix-query all 10 games" "$big_count" "$mw" "$mc" "$mp" "$ma" "$big_bound"
read -r ww wc wp wa < <(measure window_answers -- "$window" \
    --max-queries "$concurrency" --timeout "$timeout_ms" --retries "$retries" --file "$work/big.list")
row "(c) window all 10 games" "$big_count" "$ww" "$wc" "$wp" "$wa" "$big_bound"
ratios "window/morvix-query" "$ww" "$wc" "$wp" "$wa" "$mw" "$mc" "$mp" "$ma"
goal "window peak memory for $big_count servers < 100 MB ($(printf '%.1f' "$(calc "$wp / 1024")") MB)" \
    "$wp" "$((100 * 1024 - 1))"

echo "Goals:"
printf '  %s\n' "${goals[@]}"
