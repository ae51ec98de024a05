#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Forged ARP replies on a veth wire between two network namespaces made for
the run: each frame, sent from the peer's end, claims the peer's address for a
new MAC. tevra-watch and arpwatch (debug mode, reports on its output) watch
the host's end; a subscribed socket sees which changes the kernel accepted.
The latency runs from just before the frame is sent to the moment each tool's
report is read. Every accepted change must be reported by tevra-watch.
Needs root and arpwatch. Target: tevra-watch's median <= a tenth of arpwatch's.

    bench/arp_wire.py [path/to/tevra-watch] [--frames 50]
"""

import argparse
import os
import random
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import nsbench  # noqa: E402

ETH_P_ARP = 0x0806
REPORT_WAIT_S = 3.0


def forged_mac(n):
    return f"02:00:00:77:{n >> 8 & 255:02x}:{n & 255:02x}"


def arp_reply(sender_mac, sender_ip, target_mac, target_ip):
    sender, target = nsbench.mac_bytes(sender_mac), nsbench.mac_bytes(target_mac)
    return (target + sender + struct.pack("!H", ETH_P_ARP)
            + struct.pack("!HHBBH", 1, 0x0800, 6, 4, 2)  # Ethernet/IPv4, reply
            + sender + socket.inet_aton(sender_ip) + target + socket.inet_aton(target_ip))


class KernelChanges:
    """The MACs the kernel gave an address, from its own notifications, with
    the time each arrived."""

    def __init__(self, address):
        self.address = nsbench.address_bytes(address)[1]
        self.seen = []
        self.sock = socket.socket(socket.AF_NETLINK, socket.SOCK_RAW, socket.NETLINK_ROUTE)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)
        self.sock.bind((0, nsbench.RTMGRP_NEIGH))
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        while True:
            data = self.sock.recv(65536)
            now = time.monotonic_ns()
            offset = 0
            while offset + 16 <= len(data):
                length, kind = struct.unpack_from("IH", data, offset)
                if kind == nsbench.RTM_NEWNEIGH:
                    self._notice(data[offset + 16:offset + length], now)
                offset += (length + 3) & ~3 if length else len(data)

    def _notice(self, body, now):
        attributes, offset, found = {}, 12, {}
        while offset + 4 <= len(body):
            length, kind = struct.unpack_from("HH", body, offset)
            if length < 4:
                break
            attributes[kind] = body[offset + 4:offset + length]
            offset += (length + 3) & ~3
        found = attributes.get(nsbench.NDA_DST), attributes.get(nsbench.NDA_LLADDR)
        if found[0] == self.address and found[1] is not None:
            if not self.seen or self.seen[-1][1] != found[1]:
                self.seen.append((now, found[1]))

    def accepted(self, mac):
        raw = nsbench.mac_bytes(mac)
        return next((stamp for stamp, lladdr in self.seen if lladdr == raw), None)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("watch", nargs="?", default="build/cli/tevra-watch")
    parser.add_argument("--frames", type=int, default=50)
    options = parser.parse_args()
    watch = os.path.realpath(options.watch)
    arpwatch = shutil.which("arpwatch") or "/usr/sbin/arpwatch"
    if os.geteuid() != 0:
        sys.exit("arp_wire.py: needs root for network namespaces")
    if not os.access(watch, os.X_OK):
        sys.exit(f"arp_wire.py: no tevra-watch at {watch}")
    if not os.access(arpwatch, os.X_OK):
        sys.exit("arp_wire.py: arpwatch is not installed (apt-get install arpwatch)")

    N = nsbench.Namespaces
    processes = []
    with nsbench.Namespaces("tevra-arp") as namespaces, tempfile.TemporaryDirectory() as work:
        try:
            nsbench.enter(namespaces.host)
            # Replies in quick succession would otherwise be refused for a while.
            subprocess.run(["sysctl", "-qw", "net.ipv4.neigh.veth0.locktime=0"], check=True)
            kernel = KernelChanges(N.PEER_ADDRESS)
            database = os.path.join(work, "arp.dat")
            open(database, "w").close()
            arpwatch_process = subprocess.Popen([arpwatch, "-d", "-i", "veth0", "-f", database],
                                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            processes.append(arpwatch_process)
            arpwatch_lines = nsbench.Lines(arpwatch_process.stdout)
            time.sleep(1)
            # The peer's address learnt by real ARP on the wire, as both tools first see it.
            subprocess.run(["ping", "-c", "1", "-W", "2", N.PEER_ADDRESS], check=True, stdout=subprocess.DEVNULL)
            if arpwatch_lines.wait_for(lambda line: "new station (10.66.0.2)" in line, 5) is None:
                sys.exit("arp_wire.py: arpwatch reported nothing: " + " | ".join(
                    line for _, line in arpwatch_lines.lines[-5:]))
            # Its alert line shows that tevra-watch has made its first read.
            nsbench.NeighbourSetter("veth0").set("10.66.0.99", "ff:ff:ff:ff:ff:ff")
            watch_process = subprocess.Popen([watch], stdout=subprocess.PIPE)
            processes.append(watch_process)
            watch_lines = nsbench.Lines(watch_process.stdout)
            if watch_lines.wait_for(lambda line: "Broadcast MAC assigned" in line, 10) is None:
                sys.exit("arp_wire.py: tevra-watch did not start")

            nsbench.enter(namespaces.peer)
            wire = socket.socket(socket.AF_PACKET, socket.SOCK_RAW, socket.htons(ETH_P_ARP))
            wire.bind(("veth1", ETH_P_ARP))
            sent = []
            for n in range(options.frames):
                mac = forged_mac(n)
                frame = arp_reply(mac, N.PEER_ADDRESS, N.HOST_MAC, N.HOST_ADDRESS)
                sent.append((time.monotonic_ns(), mac))
                wire.send(frame)
                # Uneven gaps, so that no report waits on a timer in step with the frames.
                time.sleep(random.uniform(0.8, 1.3))
            time.sleep(REPORT_WAIT_S)
        finally:
            for process in processes:
                process.terminate()
                process.wait()

    # Every change of the peer's MAC the kernel made, in order, against
    # tevra-watch's lines for that address: the genuine peer's own ARP traffic
    # may put its MAC back between two forgeries, and that is a change too.
    macs = [nsbench.mac_text(lladdr) for _, lladdr in kernel.seen]
    kernel_changes = [f"changed from {a} to {b}" for a, b in zip(macs, macs[1:])]
    prefix = f"Mapping changed: {N.PEER_ADDRESS} "
    reported = [text[text.index(prefix) + len(prefix):] for _, text in watch_lines.lines if prefix in text]

    tevra, arp, kernel_ms = [], [], []
    accepted = 0
    for start, mac in sent:
        accepted_at = kernel.accepted(mac)
        if accepted_at is not None:
            accepted += 1
            kernel_ms.append((accepted_at - start) / 1e6)
        shown = nsbench.mac_text(nsbench.mac_bytes(mac))
        line = watch_lines.wait_for(lambda text: text.endswith(f" to {shown}"), 0)
        if line is not None:
            tevra.append((line[0] - start) / 1e6)
        report = arpwatch_lines.wait_for(lambda text: text.strip() == f"ethernet address: {mac}", 0)
        if report is not None:
            arp.append((report[0] - start) / 1e6)

    print(f"frames sent: {len(sent)}; the kernel accepted {accepted} "
          f"({nsbench.stats(kernel_ms)} from the frame to its notification)")
    print(f"changes of the peer's MAC in the kernel: {len(kernel_changes)}; reported by tevra-watch in the same "
          f"order, none missing or extra: {'yes' if reported == kernel_changes else 'NO'}")
    if reported != kernel_changes:
        print("  kernel:      " + "; ".join(kernel_changes))
        print("  tevra-watch: " + "; ".join(reported))
    print(f"tevra-watch: reported {len(tevra)} of the {accepted} accepted forgeries; {nsbench.stats(tevra)}")
    print(f"arpwatch:    reported {len(arp)} of the {len(sent)} forged frames; {nsbench.stats(arp)}")
    if tevra and arp:
        ratio = nsbench.median(tevra) / nsbench.median(arp)
        print(f"median tevra-watch / median arpwatch: {ratio:.4f} (target <= 0.1)")
    return 0 if reported == kernel_changes and len(tevra) == accepted else 1


if __name__ == "__main__":
    sys.exit(main())
