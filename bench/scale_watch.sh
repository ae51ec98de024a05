#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Reading a large ARP table: `tevra-watch --once` against `ip -4 neigh show` of
# the same table, run alternately, medians compared, and tevra-watch's peak
# memory. The table lives in a network namespace made for the run (removed
# afterwards); its entries are permanent, so nothing is ever sent to resolve them.
# Needs root. Targets: ratio <= 1.5, peak memory <= 48 MB. With MIXED=1 the
# table is half IPv4, half IPv6, and `ip neigh show` lists both families.
#
#   bench/scale_watch.sh [path/to/tevra-watch]     ENTRIES=60000 RUNS=9 MIXED=0 by default
set -euo pipefail
source "$(dirname "$0")/neighbour_table.sh"
watch=$(realpath "${1:-build/cli/tevra-watch}")
entries=${ENTRIES:-60000}
runs=${RUNS:-9}
ns=tevra-bench-$$
cleanup() {
    ip netns del "$ns" 2>/dev/null || true
}
trap cleanup EXIT

[ "$(id -u)" -eq 0 ] || { echo "scale_watch.sh: needs root for a network namespace" >&2; exit 1; }
[ -x "$watch" ] || { echo "scale_watch.sh: no tevra-watch at $watch" >&2; exit 1; }

make_neighbour_table "$ns" "$entries"
families=$(neighbour_families)
listed=$(ip -n "$ns" $families neigh show | wc -l)
echo "entries in the table: $listed"

# Wall time of one command in milliseconds, its output discarded.
millis() {
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

watch_times=()
ip_times=()
millis ip netns exec "$ns" "$watch" --once > /dev/null  # warm the page cache for both
millis ip -n "$ns" $families neigh show > /dev/null
for ((r = 0; r < runs; r++)); do
    watch_times+=("$(millis ip netns exec "$ns" "$watch" --once)")
    ip_times+=("$(millis ip netns exec "$ns" ip $families neigh show)")
done
watch_median=$(printf '%s\n' "${watch_times[@]}" | median)
ip_median=$(printf '%s\n' "${ip_times[@]}" | median)
peak_kb=$(ip netns exec "$ns" /usr/bin/time -f '%M' "$watch" --once 2>&1 > /dev/null | tail -1)

echo "tevra-watch --once runs (ms): ${watch_times[*]}"
echo "ip $families neigh show runs (ms):   ${ip_times[*]}"
echo "median tevra-watch --once: $watch_median ms"
echo "median ip $families neigh show:   $ip_median ms"
awk -v w="$watch_median" -v i="$ip_median" 'BEGIN { printf "ratio: %.2f (target <= 1.5)\n", w / i }'
awk -v k="$peak_kb" 'BEGIN { printf "tevra-watch peak memory: %.1f MB (target <= 48 MB)\n", k / 1024 }'
