# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the benchmark scripts: a network namespace holding a large
# neighbour table, IPv4 alone or, with MIXED=1, half IPv4 and half IPv6 (of
# these, half global and half link-local). Its entries are permanent, so
# nothing is ever sent to resolve them; the caller removes the namespace.
#
#   make_neighbour_table NAMESPACE ENTRIES
#   neighbour_families: "-4", or "" for both when MIXED=1 (for ip neigh show)
make_neighbour_table() {
    local ns=$1 entries=$2 batch v4=$2 v6=0
    if [ "${MIXED:-0}" = 1 ]; then
        v4=$((entries / 2))
        v6=$((entries - v4))
    fi
    batch=$(mktemp)
    ip netns add "$ns"
    ip -n "$ns" link add veth0 type veth peer name veth1
    ip -n "$ns" addr add 10.96.0.1/12 dev veth0
    ip -n "$ns" addr add 2001:db8:100::1/64 dev veth0 nodad
    ip -n "$ns" link set veth0 up
    ip -n "$ns" link set veth1 up
    # 10.100.0.1 onward; MACs of a few vendors and a locally administered one, so
    # the vendor lookup does its usual work.
    awk -v n="$v4" -v m="$v6" 'BEGIN {
        split("00:0c:29 00:50:56 3c:22:fb 02:00:5e", ouis, " ")
        for (i = 1; i <= n; i++)
            printf "neigh add 10.100.%d.%d lladdr %s:%02x:%02x:%02x dev veth0 nud permanent\n",
                int(i / 256) % 256, i % 256, ouis[i % 4 + 1], int(i / 65536) % 256, int(i / 256) % 256, i % 256
        for (i = 1; i <= m; i++)
            printf "neigh add %s:%x:%x lladdr %s:%02x:%02x:%02x dev veth0 nud permanent\n",
                i % 2 ? "2001:db8:100:" : "fe80:", int(i / 65536), i % 65536,
                ouis[i % 4 + 1], 128 + int(i / 65536) % 128, int(i / 256) % 256, i % 256
    }' > "$batch"
    ip -n "$ns" -batch "$batch"
    rm -f "$batch"
}

neighbour_families() {
    [ "${MIXED:-0}" = 1 ] && echo "" || echo "-4"
}
