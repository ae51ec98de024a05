#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Idle at a large table: the CPU time tevra-watch, and the window when built,
# spend per 1500 ms period while nothing changes, against the CPU time of one
# bare netlink dump of the same table (bare_dump), measured in one run. The
# table lives in a network namespace made for the run and removed afterwards.
# The measurement spans PERIODS periods once start-up has settled; 40 periods
# are one minute, so the follower's once-a-minute safety re-read is in it.
# Needs root. Targets: tevra-watch <= 0.3x, the window <= 0.5x one bare dump.
# With MIXED=1 the table is half IPv4, half IPv6, and the bare dump reads both.
# NO_WINDOW=1 leaves the window out.
#
#   bench/idle_watch.sh [build directory, default build]     ENTRIES=60000 PERIODS=40 SETTLE=10 (s) MIXED=0
set -euo pipefail
source "$(dirname "$0")/neighbour_table.sh"
build=$(realpath "${1:-build}")
watch=$build/cli/tevra-watch
window=$build/ui/tevra
bare=$build/bench/bare_dump
entries=${ENTRIES:-60000}
periods=${PERIODS:-40}
settle=${SETTLE:-10}
ns=tevra-idle-$$
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    ip netns del "$ns" 2>/dev/null || true
}
trap cleanup EXIT

[ "$(id -u)" -eq 0 ] || { echo "idle_watch.sh: needs root for a network namespace" >&2; exit 1; }
[ -x "$watch" ] && [ -x "$bare" ] || { echo "idle_watch.sh: build tevra-watch and bare_dump first" >&2; exit 1; }

make_neighbour_table "$ns" "$entries"
families=$(neighbour_families)
echo "entries in the table: $(ip -n "$ns" $families neigh show | wc -l)"

# Nanoseconds on the CPU, and clock ticks (utime + stime), of a process so far.
cpu_ns() { awk '{ print $1 }' "/proc/$1/schedstat"; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
dumps=()
bare_dump() {
    local result
    result=$(ip netns exec "$ns" "$bare" 20 "$([ -z "$families" ] && echo all)")
    dumps+=("${result%% *}")
    echo "one bare dump: $((${result%% *} / 1000)) us CPU (${result##* } entries, mean of 20)"
}

# Starts a program in the namespace, lets it settle, then prints its CPU time
# per period over the measured periods and stores it in `per_period`.
per_period=0
measure() {
    local name=$1 ns0 ticks0 ns1 ticks1 rss
    shift
    ip netns exec "$ns" env -u DBUS_SESSION_BUS_ADDRESS "$@" > /dev/null 2>&1 &
    pid=$!
    sleep "$settle"
    kill -0 "$pid" || { echo "idle_watch.sh: $name ended early" >&2; exit 1; }
    ns0=$(cpu_ns "$pid") ticks0=$(cpu_ticks "$pid")
    sleep "$(awk -v p="$periods" 'BEGIN { print p * 1.5 }')"
    ns1=$(cpu_ns "$pid") ticks1=$(cpu_ticks "$pid")
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=""
    per_period=$(((ns1 - ns0) / periods))
    echo "$name: $((per_period / 1000)) us CPU per period over $periods periods" \
        "($((ticks1 - ticks0)) ticks in all; RSS $((rss / 1024)) MB)"
}

bare_dump
measure tevra-watch "$watch"
watch_period=$per_period
bare_dump
window_period=""
if [ -x "$window" ] && [ "${NO_WINDOW:-0}" != 1 ]; then
    measure "tevra (window, offscreen)" env QT_QPA_PLATFORM=offscreen "$window" -platform offscreen
    window_period=$per_period
    bare_dump
elif [ "${NO_WINDOW:-0}" = 1 ]; then
    echo "the window left out (NO_WINDOW=1)"
else
    echo "no window at $window (built with TEVRA_BUILD_UI=ON)"
fi

dump=$(printf '%s\n' "${dumps[@]}" | awk '{ sum += $1 } END { print sum / NR }')
echo "one bare dump, mean of the ${#dumps[@]} measurements: $(awk -v d="$dump" 'BEGIN { printf "%.0f", d / 1000 }') us"
awk -v w="$watch_period" -v d="$dump" 'BEGIN { printf "tevra-watch per period / one bare dump: %.2f (target <= 0.3)\n", w / d }'
[ -n "$window_period" ] \
    && awk -v w="$window_period" -v d="$dump" 'BEGIN { printf "window per period / one bare dump: %.2f (target <= 0.5)\n", w / d }'
true
