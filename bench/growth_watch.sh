#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What a LAN host can drive tevra-watch to, with its bounds in place, measured
# in one run inside a network namespace made for it (removed afterwards):
#  1. RSS through a flood of RATE changes a second for SECONDS seconds over
#     ADDRESSES addresses (permanent entries, so nothing is sent); target: the
#     highest RSS under 64 MB.
#  2. CPU while idle with LEARNED learned addresses (a state file of that many,
#     beside a small table); target: under 1 % of one core.
# Needs root.
#
#   bench/growth_watch.sh [build directory, default build]
#       RATE=20000 SECONDS_=60 ADDRESSES=5000 LEARNED=1000000 IDLE=60 SETTLE=10
set -euo pipefail
build=$(realpath "${1:-build}")
watch=$build/cli/tevra-watch
rate=${RATE:-20000}
seconds=${SECONDS_:-60}
addresses=${ADDRESSES:-5000}
learned=${LEARNED:-1000000}
idle=${IDLE:-60}
settle=${SETTLE:-10}
ns=tevra-growth-$$
work=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

[ "$(id -u)" -eq 0 ] || { echo "growth_watch.sh: needs root for a network namespace" >&2; exit 1; }
[ -x "$watch" ] || { echo "growth_watch.sh: build tevra-watch first" >&2; exit 1; }

ip netns add "$ns"
ip -n "$ns" link add veth0 type veth peer name veth1
ip -n "$ns" addr add 10.96.0.1/12 dev veth0
ip -n "$ns" link set veth0 up
ip -n "$ns" link set veth1 up
sysctl_ns() { ip netns exec "$ns" sysctl -qw "$@"; }
# Room for every flooded address in the kernel's table.
sysctl -qw net.ipv4.neigh.default.gc_thresh3=$((addresses * 4)) 2>/dev/null || true

rss_kb() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }
cpu_ns() { awk '{ print $1 }' "/proc/$1/schedstat"; }

# --- 1. The flood ---
# Second s gives each address a MAC of that second's own: RATE changes.
per_address=$((rate / addresses))
awk -v n="$addresses" 'BEGIN {
    for (i = 1; i <= n; i++)
        printf "neigh add 10.100.%d.%d lladdr 02:00:00:00:%02x:%02x dev veth0 nud permanent\n",
            int(i / 256) % 256, i % 256, int(i / 256) % 256, i % 256 }' > "$work/fill"
ip -n "$ns" -batch "$work/fill"
for ((s = 0; s < seconds; s++)); do
    awk -v n="$addresses" -v k="$per_address" -v s="$s" 'BEGIN {
        for (r = 0; r < k; r++)
            for (i = 1; i <= n; i++)
                printf "neigh replace 10.100.%d.%d lladdr 02:%02x:%02x:%02x:%02x:%02x dev veth0 nud permanent\n",
                    int(i / 256) % 256, i % 256, s % 256, r % 256, 1 + int(i / 65536), int(i / 256) % 256, i % 256 }' \
        > "$work/second-$s"
done
ip netns exec "$ns" "$watch" --json --interval 1500 --state "$work/flood-state" > /dev/null 2> "$work/flood-err" &
pid=$!
sleep 2
start_rss=$(rss_kb "$pid")
peak=$start_rss
slow=0
flood_began=$(date +%s%N)
for ((s = 0; s < seconds; s++)); do
    began=$(date +%s%N)
    ip -n "$ns" -batch "$work/second-$s"
    rss=$(rss_kb "$pid")
    ((rss > peak)) && peak=$rss
    spent=$((($(date +%s%N) - began) / 1000000))
    if ((spent < 1000)); then sleep "$(awk -v ms="$spent" 'BEGIN { print (1000 - ms) / 1000 }')"; else slow=$((slow + 1)); fi
done
flood_ms=$((($(date +%s%N) - flood_began) / 1000000))
final=$(rss_kb "$pid")
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=""
echo "flood: $((seconds * per_address * addresses)) changes over $addresses addresses in $flood_ms ms:" \
    "$((seconds * per_address * addresses * 1000 / flood_ms)) changes/s made (asked: $rate; $slow seconds ran late)"
echo "flood: RSS $((start_rss / 1024)) MB at start, $((peak / 1024)) MB at most, $((final / 1024)) MB at the end"
awk -v p="$peak" 'BEGIN { printf "flood: highest RSS / 64 MB: %.2f (target < 1)\n", p / 65536 }'
grep -v '^$' "$work/flood-err" | head -5 || true

# --- 2. Idle with a large learned table ---
awk -v n="$learned" 'BEGIN {
    print "tevra-watch state 1"
    for (i = 1; i <= n; i++)
        printf "10.%d.%d.%d\t02:00:5E:%02X:%02X:%02X\teth9\t3\t1796900000\t1796900000\n",
            64 + int(i / 65536), int(i / 256) % 256, i % 256, int(i / 65536), int(i / 256) % 256, i % 256
}' | sed 's/:/-/g' > "$work/idle-state"
chmod 600 "$work/idle-state"
ip netns exec "$ns" "$watch" --json --state "$work/idle-state" > /dev/null 2> "$work/idle-err" &
pid=$!
sleep "$settle"
kill -0 "$pid" || { echo "growth_watch.sh: tevra-watch ended early:" >&2; cat "$work/idle-err" >&2; exit 1; }
ns0=$(cpu_ns "$pid")
sleep "$idle"
ns1=$(cpu_ns "$pid")
rss=$(rss_kb "$pid")
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=""
echo "idle: $learned learned addresses, RSS $((rss / 1024)) MB"
awk -v c=$((ns1 - ns0)) -v s="$idle" 'BEGIN {
    printf "idle: CPU %.3f %% of one core over %d s (target < 1 %%)\n", c / (s * 1e7), s }'
