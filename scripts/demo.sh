#!/usr/bin/env bash
# Morvix against a few hundred simulated game servers on this machine, with no
# internet: installs what is missing and builds (scripts/install-deps.sh,
# build/), starts morvix-sim on 127.0.0.1, writes a temporary settings store
# whose masters are the simulator's and a server list holding the servers of
# the games without a master, then starts Morvix on them. The user's own
# settings and server list are never read or written. Closing Morvix stops
# the simulator and removes the temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "demo: no display to show Morvix on; start the demo from a desktop session" \
        "(or under xvfb-run)" >&2
    exit 1
fi

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target morvix morvix-sim morvix-demo-setup

demo=$(mktemp -d "${TMPDIR:-/tmp}/morvix-demo.XXXXXX")
sim_pid=""
morvix_pid=""
cleanup() {
    for pid in $morvix_pid $sim_pid; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$demo"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Morvix keeps its server list beside its program when it may write there, and
# the build's folder may be written: a copy of the program in the temporary
# folder keeps the demo's list there too. (A symbolic link would not do: the
# program's folder is that of the file the link points to.)
mkdir -p "$demo/program" "$demo/config" "$demo/data"
cp build/src/app/morvix "$demo/program/morvix"
export XDG_CONFIG_HOME="$demo/config" XDG_DATA_HOME="$demo/data"

# A few hundred servers of all ten games: most answer, some stay silent, some
# answer after a second, a few send bytes no decoder reads.
sim_options=(--servers 20 --count q3=80 --count hl=60 --count tribes=30 --count t2=30
    --seed 8 --mix answer=86,silent=5,late=5,garbage=2,duplicate=2 --late-ms 1000)
start_sim() {
    build/sim/morvix-sim "${sim_options[@]}" "$@" >"$demo/sim.json" 2>"$demo/sim.err" &
    sim_pid=$!
    # The document is written at once when everything is bound; it ends with
    # a closing brace on a line of its own.
    for _ in $(seq 1 200); do
        grep -q '^}' "$demo/sim.json" && return 0
        kill -0 "$sim_pid" 2>/dev/null || break
        sleep 0.05
    done
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
    return 1
}
# The masters' usual ports when they are free, any free ports otherwise.
if ! start_sim --master-port hl=27010 --master-port q3=27950 --master-port tribes=28000 \
    --master-port t2=28002; then
    echo "demo: $(cat "$demo/sim.err"); the masters take other ports" >&2
    start_sim || { cat "$demo/sim.err" >&2; exit 1; }
fi

build/sim/morvix-demo-setup --list "$demo/program/morvix.dat" "$demo/sim.json"
# The first answering server of a game that has a remote console.
console_of() {
    awk -v game="\"$1\"," '/"behaviour"/ {b = $2} /"console"/ {c = $2} /"game"/ {g = $2}
        /"port"/ && b == "\"answer\"," && c == "true," && g == game {
            gsub(/[^0-9]/, "", $2); print "127.0.0.1:" $2; exit }' "$demo/sim.json"
}
cat <<EOF

Morvix demo: $(grep -c '"behaviour"' "$demo/sim.json") simulated servers on 127.0.0.1, in $demo
The servers of the games without a master are already in the list. Import the
others with the menu items above, then Query > All (Ctrl+A). Close Morvix
(File > Exit) to end the demo: the simulator stops and the folder is removed.
Remote console (Other > Admin tools > Remote console), password "secret":
Quake 3 console at $(console_of q3), Half-Life console at $(console_of hl).

EOF
# Waited for in the background, so that an interrupted demo ends Morvix too.
"$demo/program/morvix" &
morvix_pid=$!
status=0
wait "$morvix_pid" || status=$?
morvix_pid=""
exit "$status"
