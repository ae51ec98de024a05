#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The window under a steady flood: about RATE neighbour changes a second for
# SECONDS seconds in a network namespace made for the run (permanent entries,
# so nothing is sent), the window offscreen watching it. Prints its CPU share
# and RSS every 5 s, whether the CPU stays flat while the output list grows,
# and the memory it keeps per change. Needs root.
# Targets: CPU flat and under 70 % of a core; memory growth <= 1 KB per change.
#
#   bench/flood_window.sh [build directory, default build]    RATE=2000 SECONDS_=45 ADDRESSES=1000
set -euo pipefail
source "$(dirname "$0")/neighbour_table.sh"
build=$(realpath "${1:-build}")
window=$build/ui/tevra
rate=${RATE:-2000}
seconds=${SECONDS_:-45}
addresses=${ADDRESSES:-1000}
ns=tevra-wflood-$$
batches=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "$batches"
}
trap cleanup EXIT

[ "$(id -u)" -eq 0 ] || { echo "flood_window.sh: needs root for a network namespace" >&2; exit 1; }
[ -x "$window" ] || { echo "flood_window.sh: build the window first ($window)" >&2; exit 1; }

make_neighbour_table "$ns" "$addresses"

# Ten batches a second, each moving a slice of the addresses to the other of
# two MACs, so every line of every batch is a change the window must report.
per_batch=$((rate / 10))
slices=$((addresses / per_batch))
for variant in 0 1; do
    for ((slice = 0; slice < slices; slice++)); do
        awk -v first=$((slice * per_batch + 1)) -v n="$per_batch" -v v="$variant" 'BEGIN {
            for (i = first; i < first + n; i++)
                printf "neigh replace 10.100.%d.%d lladdr 02:%02x:00:%02x:%02x:%02x dev veth0 nud permanent\n",
                    int(i / 256) % 256, i % 256, 16 + v, int(i / 65536) % 256, int(i / 256) % 256, i % 256
        }' > "$batches/$variant-$slice"
    done
done

cpu_ns() { awk '{ print $1 }' "/proc/$1/schedstat"; }
rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

ip netns exec "$ns" env -u DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM=offscreen "$window" -platform offscreen \
    > /dev/null 2>&1 &
pid=$!
sleep 5
kill -0 "$pid" || { echo "flood_window.sh: the window ended early" >&2; exit 1; }

rss0=$(rss_kb "$pid")
cpu_last=$(cpu_ns "$pid")
start=$(date +%s%N)
made=0 batch=0 shares=()
next_report=$((start + 5000000000))
end=$((start + seconds * 1000000000))
while :; do
    now=$(date +%s%N)
    [ "$now" -ge "$end" ] && break
    slot=$((start + batch * 100000000))
    [ "$now" -lt "$slot" ] && sleep "$(awk -v d=$((slot - now)) 'BEGIN { print d / 1e9 }')"
    ip -n "$ns" -batch "$batches/$(((batch / slices) % 2))-$((batch % slices))"
    made=$((made + per_batch))
    batch=$((batch + 1))
    now=$(date +%s%N)
    if [ "$now" -ge "$next_report" ]; then
        cpu=$(cpu_ns "$pid")
        share=$(awk -v c=$((cpu - cpu_last)) 'BEGIN { printf "%.1f", c / 5e9 * 100 }')
        shares+=("$share")
        echo "after $(((now - start) / 1000000000)) s: $made changes made; window CPU ${share} % of a core, RSS $(($(rss_kb "$pid") / 1024)) MB"
        cpu_last=$cpu
        next_report=$((next_report + 5000000000))
    fi
done
elapsed=$(awk -v ns=$(($(date +%s%N) - start)) 'BEGIN { print ns / 1e9 }')
# Time to take the last changes in before the memory is read.
sleep 2
kill -0 "$pid" || { echo "flood_window.sh: the window ended under the flood" >&2; exit 1; }
rss1=$(rss_kb "$pid")

echo "changes made: $made in ${elapsed} s ($(awk -v m="$made" -v s="$elapsed" 'BEGIN { printf "%.0f", m / s }') a second)"
printf '%s\n' "${shares[@]}" | awk -v first="${shares[0]}" '
    { if ($1 > max) max = $1; last = $1 }
    END {
        printf "window CPU: first 5 s %.1f %%, last 5 s %.1f %%, highest %.1f %% of a core (target < 70)\n", first, last, max
        printf "last / first: %.2f (flat when near 1: the cost does not grow with the output list)\n", last / first
    }'
awk -v r0="$rss0" -v r1="$rss1" -v m="$made" \
    'BEGIN { printf "RSS %d -> %d MB: %.0f bytes per change (target <= 1024)\n", r0 / 1024, r1 / 1024, (r1 - r0) * 1024 / m }'
