#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A flood of neighbour changes: `ip -batch` makes them as fast as it can while
# tevra-watch and `ip monitor neigh` watch the same network namespace (made for
# the run, removed afterwards; every entry is permanent, so nothing is sent).
# Reports whether tevra-watch stayed up, whether its last reported MAC of every
# address is the kernel's final one, and its CPU time against ip monitor's.
# Needs root. Target: tevra-watch CPU <= 1.5x ip monitor neigh.
#
# How often each process is woken decides most of its cost, and the scheduler
# decides that, so the flood is made ROUNDS times and the totals compared.
#
#   bench/flood_watch.sh [path/to/tevra-watch]    CHANGES=18000 ADDRESSES=1000 ROUNDS=5 by default
#   UNPRIVILEGED=1 bench/flood_watch.sh           tevra-watch as nobody: its socket buffer is
#                                                 then capped by net.core.rmem_max, so a large
#                                                 enough flood overruns it and it must re-read
#   STALL=1 ...                                   tevra-watch stopped (SIGSTOP) while the flood is
#                                                 made: its queue overflows unless the buffer holds
#                                                 every notification; with UNPRIVILEGED=1 it does not
set -euo pipefail
watch=$(realpath "${1:-build/cli/tevra-watch}")
changes=${CHANGES:-18000}
addresses=${ADDRESSES:-1000}
rounds=${ROUNDS:-5}
ns=tevra-flood-$$
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

[ "$(id -u)" -eq 0 ] || { echo "flood_watch.sh: needs root for a network namespace" >&2; exit 1; }
[ -x "$watch" ] || { echo "flood_watch.sh: no tevra-watch at $watch" >&2; exit 1; }
((changes % addresses == 0)) || { echo "flood_watch.sh: CHANGES must be a multiple of ADDRESSES" >&2; exit 1; }

ip netns add "$ns"
ip -n "$ns" link add veth0 type veth peer name veth1
ip -n "$ns" addr add 10.96.0.1/12 dev veth0
ip -n "$ns" link set veth0 up
ip -n "$ns" link set veth1 up

# Pass p gives address i a MAC no other pass gives it; pass 0 fills the table.
batch() {
    awk -v verb="$1" -v first="$2" -v last="$3" -v n="$addresses" 'BEGIN {
        for (p = first; p <= last; p++)
            for (i = 1; i <= n; i++)
                printf "neigh %s 10.100.%d.%d lladdr 02:%02x:%02x:%02x:%02x:01 dev veth0 nud permanent\n",
                    verb, int(i / 256) % 256, i % 256, int(p / 256) % 256, p % 256, int(i / 256) % 256, i % 256
    }'
}
passes=$((changes / addresses))
batch add 0 0 > "$work/fill"
ip -n "$ns" -batch "$work/fill"
# Its alert line shows that tevra-watch has made its first read.
ip -n "$ns" neigh add 10.100.255.255 lladdr ff:ff:ff:ff:ff:ff dev veth0 nud permanent

as_user=()
mode="root (feed buffer 32 MiB)"
if [ "${UNPRIVILEGED:-0}" = 1 ]; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    mode="nobody (feed buffer capped by net.core.rmem_max = $(sysctl -n net.core.rmem_max))"
fi
ip netns exec "$ns" "${as_user[@]}" "$watch" > "$work/watch.out" 2> "$work/watch.err" &
watch_pid=$!
pids+=("$watch_pid")
ip -n "$ns" monitor neigh > "$work/monitor.out" 2> "$work/monitor.err" &
monitor_pid=$!
pids+=("$monitor_pid")
for ((t = 0; t < 100; t++)); do
    grep -q 'Broadcast MAC assigned' "$work/watch.out" && break
    sleep 0.1
done
grep -q 'Broadcast MAC assigned' "$work/watch.out" || { echo "flood_watch.sh: tevra-watch did not start" >&2; exit 1; }
sleep 0.5

# A process's nanoseconds on the CPU, its clock ticks (utime + stime), and how
# often it went to sleep waiting (voluntary context switches).
usage() {
    echo "$(awk '{ print $1 }' "/proc/$1/schedstat") $(awk '{ print $14 + $15 }' "/proc/$1/stat")" \
        "$(awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/status")"
}
lines() { wc -l < "$1"; }

[ "${STALL:-0}" = 1 ] && mode="$mode, stopped while the flood is made"
echo "tevra-watch as: $mode"
echo "each round: $changes changes over $addresses addresses"
total=(0 0 0 0 0 0)
all_good=yes
for ((r = 0; r < rounds; r++)); do
    batch replace $((r * passes + 1)) $(((r + 1) * passes)) > "$work/flood"
    read -r wn wt ww <<< "$(usage "$watch_pid")"
    read -r mn mt mw <<< "$(usage "$monitor_pid")"
    watch_lines=$(lines "$work/watch.out")
    monitor_lines=$(lines "$work/monitor.out")
    [ "${STALL:-0}" = 1 ] && kill -STOP "$watch_pid"
    start=$(date +%s%N)
    ip -n "$ns" -batch "$work/flood"
    made=$((($(date +%s%N) - start) / 1000000))
    [ "${STALL:-0}" = 1 ] && kill -CONT "$watch_pid"
    # Settled: neither output has grown for two seconds (longer than a re-read period).
    last=""
    for ((t = 0; t < 300; t++)); do
        now="$(lines "$work/watch.out") $(lines "$work/monitor.out")"
        [ "$now" = "$last" ] && break
        last=$now
        sleep 2
    done
    kill -0 "$watch_pid" 2>/dev/null || { echo "round $((r + 1)): tevra-watch is gone"; exit 1; }
    read -r wn2 wt2 ww2 <<< "$(usage "$watch_pid")"
    read -r mn2 mt2 mw2 <<< "$(usage "$monitor_pid")"
    round=($((wn2 - wn)) $((wt2 - wt)) $((ww2 - ww)) $((mn2 - mn)) $((mt2 - mt)) $((mw2 - mw)))
    for i in 0 1 2 3 4 5; do total[i]=$((total[i] + round[i])); done

    # The last MAC tevra-watch reported for each address against the kernel's.
    sed -n 's/.*Mapping changed: \([0-9.]*\) changed from [0-9A-F-]* to \([0-9A-F-]*\)$/\1 \2/p' \
        "$work/watch.out" | awk '{ last[$1] = $2 } END { for (a in last) print a, last[a] }' \
        | sort > "$work/reported"
    ip -n "$ns" -4 neigh show dev veth0 | awk '$1 ~ /^10\.100\./ && $3 != "ff:ff:ff:ff:ff:ff" {
        mac = toupper($3); gsub(":", "-", mac); print $1, mac }' | sort > "$work/kernel"
    matching=$(comm -12 "$work/reported" "$work/kernel" | wc -l)
    [ "$matching" -eq "$addresses" ] || all_good=no
    awk -v r=$((r + 1)) -v made="$made" -v reported=$(($(lines "$work/watch.out") - watch_lines)) \
        -v monitored=$(($(lines "$work/monitor.out") - monitor_lines)) -v matching="$matching" \
        -v wn="${round[0]}" -v ww="${round[2]}" -v mn="${round[3]}" -v mw="${round[5]}" 'BEGIN {
        printf "round %d: made in %d ms; lines: tevra-watch %d, ip monitor %d; last MAC right for %d;", \
            r, made, reported, monitored, matching
        printf " CPU %.0f ms / %.0f ms (%.2f), woken %d / %d times\n", wn / 1e6, mn / 1e6, wn / mn, ww, mw }'
done

echo "tevra-watch stayed up: yes"
echo "last reported MAC equals the kernel's final one for every address after every round: $all_good"
grep -h 'receive error' "$work/monitor.err" | sort | uniq -c | sed 's/^ */ip monitor: /' || true
[ -s "$work/watch.err" ] && sed 's/^/tevra-watch stderr: /' "$work/watch.err"
awk -v wn="${total[0]}" -v wt="${total[1]}" -v ww="${total[2]}" -v mn="${total[3]}" -v mt="${total[4]}" \
    -v mw="${total[5]}" -v n=$((changes * rounds)) 'BEGIN {
    printf "CPU over all rounds: tevra-watch %.0f ms (%d ticks, woken %d times), ip monitor neigh %.0f ms (%d ticks, woken %d times)\n", \
        wn / 1e6, wt, ww, mn / 1e6, mt, mw
    printf "per change: tevra-watch %.1f us, ip monitor %.1f us\n", wn / n / 1e3, mn / n / 1e3
    printf "ratio: %.2f (target <= 1.5)\n", wn / mn }'
[ "$all_good" = yes ]
