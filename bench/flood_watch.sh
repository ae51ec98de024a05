#!/usr/bin/env bash
# A flood of neighbour changes: `ip -batch` makes them as fast as it can while
# tevra-watch and `ip monitor neigh` watch the same network namespace (made for
# the run, removed afterwards; every entry is permanent, so nothing is sent).
# Reports whether tevra-watch stayed up, whether its last reported MAC of every
# address is the kernel's final one, and its CPU time against ip monitor's.
# Needs root. Target: tevra-watch CPU <= 1.5x ip monitor neigh.
#
#   bench/flood_watch.sh [path/to/tevra-watch]    CHANGES=18000 ADDRESSES=1000 by default
#   UNPRIVILEGED=1 bench/flood_watch.sh           tevra-watch as nobody: its socket buffer is
#                                                 then capped by net.core.rmem_max, so a large
#                                                 enough flood overruns it and it must re-read
set -euo pipefail
watch=$(realpath "${1:-build/cli/tevra-watch}")
changes=${CHANGES:-18000}
addresses=${ADDRESSES:-1000}
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
batch add 0 0 > "$work/fill"
batch replace 1 $((changes / addresses)) > "$work/flood"
ip -n "$ns" -batch "$work/fill"
# Its alert line shows that tevra-watch has made its first read.
ip -n "$ns" neigh add 10.100.255.255 lladdr ff:ff:ff:ff:ff:ff dev veth0 nud permanent

as_user=()
[ "${UNPRIVILEGED:-0}" = 1 ] && as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
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

# CPU of a process: clock ticks (utime + stime) and nanoseconds on the CPU.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
nanos() { awk '{ print $1 }' "/proc/$1/schedstat"; }
lines() { wc -l < "$1"; }
wakeups() { awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/status"; }
watch_ticks=$(ticks "$watch_pid") watch_ns=$(nanos "$watch_pid")
monitor_ticks=$(ticks "$monitor_pid") monitor_ns=$(nanos "$monitor_pid")
watch_lines=$(lines "$work/watch.out")
watch_wakeups=$(wakeups "$watch_pid") monitor_wakeups=$(wakeups "$monitor_pid")

start=$(date +%s%N)
ip -n "$ns" -batch "$work/flood"
made=$((($(date +%s%N) - start) / 1000000))
# Settled: neither output has grown for two seconds (longer than a re-read period).
last=""
for ((t = 0; t < 600; t++)); do
    now="$(lines "$work/watch.out") $(lines "$work/monitor.out")"
    [ "$now" = "$last" ] && break
    last=$now
    sleep 2
done

alive=no
kill -0 "$watch_pid" 2>/dev/null && alive=yes
watch_ticks=$(($(ticks "$watch_pid") - watch_ticks)) watch_ns=$(($(nanos "$watch_pid") - watch_ns))
monitor_ticks=$(($(ticks "$monitor_pid") - monitor_ticks)) monitor_ns=$(($(nanos "$monitor_pid") - monitor_ns))
watch_wakeups=$(($(wakeups "$watch_pid") - watch_wakeups))
monitor_wakeups=$(($(wakeups "$monitor_pid") - monitor_wakeups))
reported=$(($(lines "$work/watch.out") - watch_lines))
monitored=$(grep -c '^10\.100\.' "$work/monitor.out" || true)

# The last MAC tevra-watch reported for each address against the kernel's.
sed -n 's/.*Mapping changed: \([0-9.]*\) changed from [0-9A-F-]* to \([0-9A-F-]*\)$/\1 \2/p' "$work/watch.out" \
    | awk '{ last[$1] = $2 } END { for (a in last) print a, last[a] }' | sort > "$work/reported"
ip -n "$ns" -4 neigh show dev veth0 | awk '$1 ~ /^10\.100\./ && $3 != "ff:ff:ff:ff:ff:ff" {
    mac = toupper($3); gsub(":", "-", mac); print $1, mac }' | sort > "$work/kernel"
kernel_count=$(wc -l < "$work/kernel")
matching=$(comm -12 "$work/reported" "$work/kernel" | wc -l)

mode="root (feed buffer 32 MiB)"
[ "${UNPRIVILEGED:-0}" = 1 ] && mode="nobody (feed buffer capped at net.core.rmem_max = $(sysctl -n net.core.rmem_max))"
echo "tevra-watch as: $mode"
echo "changes made: $changes over $addresses addresses in $made ms ($((changes * 1000 / (made > 0 ? made : 1))) a second)"
echo "tevra-watch stayed up: $alive"
echo "alert lines printed: $reported (one per change when nothing was lost)"
echo "lines printed by ip monitor neigh: $monitored"
grep -h 'receive error' "$work/monitor.err" | sort | uniq -c | sed 's/^/ip monitor: /' || true
echo "addresses whose last reported MAC is the kernel's final one: $matching of $kernel_count"
awk -v w="$watch_ns" -v m="$monitor_ns" -v wt="$watch_ticks" -v mt="$monitor_ticks" 'BEGIN {
    printf "CPU tevra-watch: %.0f ms (%d ticks)\n", w / 1e6, wt
    printf "CPU ip monitor neigh: %.0f ms (%d ticks)\n", m / 1e6, mt
    printf "ratio: %.2f (target <= 1.5)\n", w / m }'
echo "times each slept and woke (voluntary context switches): tevra-watch $watch_wakeups, ip monitor $monitor_wakeups"
[ -s "$work/watch.err" ] && sed 's/^/tevra-watch stderr: /' "$work/watch.err"
[ "$alive" = yes ] && [ "$matching" -eq "$kernel_count" ] && [ "$kernel_count" -eq "$addresses" ]
