#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The line that names the attacker, timed on a veth wire between two network
namespaces made for the run. Each round the attacker (the peer's end) first
announces its own address 10.66.0.66 with a new MAC, then forges the
gateway's address 10.66.0.254 with that MAC, and later the gateway's genuine
MAC is restored; every frame is an ARP request to the host. The latency runs
from just before the forged frame to the moment the "Dublicate MAC found"
line is read from tevra-watch, and is set against the moment the kernel's own
notification of the forgery arrived on a subscribed socket (what `ip monitor
neigh` shows). Every round must give its line. Needs root.
Target: median <= 5 ms above the kernel's notification.

    bench/latency_duplicate.py [path/to/tevra-watch] [--rounds 50]
"""

import os
import random
import socket
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import nsbench  # noqa: E402
from arp_wire import ETH_P_ARP, KernelChanges  # noqa: E402

GATEWAY, GATEWAY_MAC = "10.66.0.254", "02:00:00:00:00:fe"
ATTACKER = "10.66.0.66"


def attacker_mac(n):
    return f"02:00:00:66:{n >> 8 & 255:02x}:{n & 255:02x}"


def arp_request(sender_mac, sender_ip, target_ip):
    sender = nsbench.mac_bytes(sender_mac)
    return (b"\xff" * 6 + sender + struct.pack("!H", ETH_P_ARP)
            + struct.pack("!HHBBH", 1, 0x0800, 6, 4, 1)  # Ethernet/IPv4, request
            + sender + socket.inet_aton(sender_ip) + b"\x00" * 6 + socket.inet_aton(target_ip))


def main():
    options = nsbench.watch_options("latency_duplicate.py", __doc__.splitlines()[0], "rounds", 50)
    N = nsbench.Namespaces
    with nsbench.Namespaces("tevra-dup") as namespaces:
        nsbench.enter(namespaces.host)
        # Frames in quick succession would otherwise be refused for a while.
        subprocess.run(["sysctl", "-qw", "net.ipv4.neigh.veth0.locktime=0"], check=True)
        kernel = KernelChanges(GATEWAY)
        nsbench.NeighbourSetter("veth0").set("10.66.0.99", "ff:ff:ff:ff:ff:ff")
        nsbench.enter(namespaces.peer)
        wire = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ARP))
        wire.bind(("veth1", ETH_P_ARP))
        # The gateway learnt from the wire, as frames may replace it (a permanent entry they may not).
        wire.send(arp_request(GATEWAY_MAC, GATEWAY, N.HOST_ADDRESS))
        time.sleep(0.1)
        nsbench.enter(namespaces.host)
        with nsbench.Watch(options.watch, "latency_duplicate.py") as lines:
            rounds = nsbench.Rounds(lines, kernel)
            for n in range(options.rounds):
                mac = attacker_mac(n)
                shown = nsbench.mac_text(nsbench.mac_bytes(mac))
                wire.send(arp_request(mac, ATTACKER, N.HOST_ADDRESS))
                time.sleep(0.05)
                rounds.time(f"Dublicate MAC found: {GATEWAY} and {ATTACKER} both have {shown}", mac,
                            lambda mac=mac: wire.send(arp_request(mac, GATEWAY, N.HOST_ADDRESS)))
                wire.send(arp_request(GATEWAY_MAC, GATEWAY, N.HOST_ADDRESS))
                # Uneven gaps, so that no line waits on a timer in step with the frames.
                time.sleep(random.uniform(0.1, 0.2))
            time.sleep(0.2)
            # Per round: the attacker's own address moved (but in the first), the forgery, its
            # line, the restore; and the start line.
            expected = 1 + 4 * options.rounds - 1
            extra = lines.count() - expected + rounds.missing

    print(f"tevra-watch --interval 60000; {options.rounds} rounds, lines missing: {rounds.missing}, "
          f"lines beyond those expected: {extra}")
    rounds.report("the forged frame")
    return 0 if rounds.missing == 0 and extra == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
