# SPDX-License-Identifier: GPL-3.0-or-later
"""What the latency benchmarks share: network namespaces made for the run and
removed after it, entering one, setting a neighbour entry over rtnetlink, and
reading a program's output lines with the time each arrived, tevra-watch run
for a latency series and the timing of its rounds. Standard library only;
needs root."""

import argparse
import ctypes
import os
import socket
import struct
import subprocess
import sys
import threading
import time

CLONE_NEWNET = 0x40000000
RTM_NEWNEIGH = 28
NLM_F_REQUEST, NLM_F_ACK, NLM_F_REPLACE, NLM_F_CREATE = 0x1, 0x4, 0x100, 0x400
NLMSG_ERROR = 2
NDA_DST, NDA_LLADDR = 1, 2
NUD_PERMANENT = 0x80
RTMGRP_NEIGH = 0x4

_libc = ctypes.CDLL(None, use_errno=True)


def ip(*arguments):
    subprocess.run(["ip", *arguments], check=True)


def enter(name):
    """Moves this process into a named network namespace: sockets made from
    now on, and programs started from now on, live there."""
    fd = os.open(f"/run/netns/{name}", os.O_RDONLY)
    try:
        if _libc.setns(fd, CLONE_NEWNET) != 0:
            raise OSError(ctypes.get_errno(), f"setns {name}")
    finally:
        os.close(fd)


class Namespaces:
    """A "host" namespace (veth0, 10.66.0.1/24, MAC 02:00:00:00:00:01) and a
    "peer" one (veth1, 10.66.0.2/24, MAC 02:00:00:00:00:02) joined by a veth
    pair; every packet of the run stays on that wire."""

    HOST_ADDRESS, PEER_ADDRESS = "10.66.0.1", "10.66.0.2"
    HOST_MAC, PEER_MAC = "02:00:00:00:00:01", "02:00:00:00:00:02"

    def __init__(self, stem):
        self.host = f"{stem}-{os.getpid()}-h"
        self.peer = f"{stem}-{os.getpid()}-p"

    def __enter__(self):
        ip("netns", "add", self.host)
        ip("netns", "add", self.peer)
        ip("-n", self.host, "link", "add", "veth0", "address", self.HOST_MAC, "type", "veth",
           "peer", "name", "veth1", "address", self.PEER_MAC, "netns", self.peer)
        ip("-n", self.host, "addr", "add", self.HOST_ADDRESS + "/24", "dev", "veth0")
        ip("-n", self.peer, "addr", "add", self.PEER_ADDRESS + "/24", "dev", "veth1")
        ip("-n", self.host, "link", "set", "veth0", "up")
        ip("-n", self.peer, "link", "set", "veth1", "up")
        return self

    def __exit__(self, *_):
        # Deleting a namespace takes its end of the veth pair, and so the other, with it.
        for name in (self.host, self.peer):
            subprocess.run(["ip", "netns", "del", name], check=False)


def mac_bytes(text):
    return bytes(int(part, 16) for part in text.replace("-", ":").split(":"))


def mac_text(raw):
    """The way tevra-watch writes a MAC: 00-0C-29-11-22-33."""
    return "-".join(f"{b:02X}" for b in raw)


def address_bytes(address):
    """The family and the network-order bytes of an IPv4 or IPv6 address text."""
    family = socket.AF_INET6 if ":" in address else socket.AF_INET
    return family, socket.inet_pton(family, address)


class NeighbourSetter:
    """Sets permanent neighbour entries with one rtnetlink request each, in the
    namespace this process is in when it is made."""

    def __init__(self, interface):
        self.sock = socket.socket(socket.AF_NETLINK, socket.SOCK_RAW, socket.NETLINK_ROUTE)
        self.sock.bind((0, 0))
        self.index = socket.if_nametoindex(interface)
        self.sequence = 0

    def set(self, address, mac):
        """Sends the request and returns once the kernel has answered."""
        self.sequence += 1
        family, raw = address_bytes(address)
        attributes = (struct.pack("HH", 4 + len(raw), NDA_DST) + raw
                      + struct.pack("HH6sxx", 10, NDA_LLADDR, mac_bytes(mac)))
        body = struct.pack("BxxxiHBB", family, self.index, NUD_PERMANENT, 0, 0) + attributes
        flags = NLM_F_REQUEST | NLM_F_ACK | NLM_F_CREATE | NLM_F_REPLACE
        self.sock.send(struct.pack("IHHII", 16 + len(body), RTM_NEWNEIGH, flags, self.sequence, 0) + body)
        answer = self.sock.recv(65536)
        kind = struct.unpack_from("H", answer, 4)[0]
        error = struct.unpack_from("i", answer, 16)[0] if kind == NLMSG_ERROR else 0
        if error != 0:
            raise OSError(-error, f"setting {address} to {mac}")


class Lines:
    """The lines a stream brings, each with the monotonic time (ns) it was read."""

    def __init__(self, stream):
        self.lines = []
        self.cond = threading.Condition()
        self.thread = threading.Thread(target=self._read, args=(stream,), daemon=True)
        self.thread.start()

    def _read(self, stream):
        pending = b""
        fd = stream.fileno()
        while True:
            chunk = os.read(fd, 65536)
            now = time.monotonic_ns()
            if not chunk:
                return
            pending += chunk
            *complete, pending = pending.split(b"\n")
            with self.cond:
                self.lines.extend((now, line.decode(errors="replace")) for line in complete)
                self.cond.notify_all()

    def wait_for(self, predicate, timeout, start=0):
        """The first (time, line) from index `start` on that fits, or None at the timeout."""
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                for stamp, line in self.lines[start:]:
                    if predicate(line):
                        return stamp, line
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self.cond.wait(left)

    def count(self):
        with self.cond:
            return len(self.lines)


def percentile(values, fraction):
    ordered = sorted(values)
    if not ordered:
        return float("nan")
    rank = max(0, min(len(ordered) - 1, round(fraction * (len(ordered) - 1))))
    return ordered[rank]


def median(values):
    ordered = sorted(values)
    if not ordered:
        return float("nan")
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def stats(values):
    """Median, 95th percentile and maximum of latencies in ms, as one text."""
    return (f"median {median(values):.2f} ms, 95th percentile "
            f"{percentile(values, 0.95):.2f} ms, max {max(values, default=float('nan')):.2f} ms")


def watch_options(script, description, count, default):
    """The tevra-watch to run and the number of rounds (`--COUNT`), or the
    script's end when it cannot run."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("watch", nargs="?", default="build/cli/tevra-watch")
    parser.add_argument(f"--{count}", type=int, default=default)
    options = parser.parse_args()
    options.watch = os.path.realpath(options.watch)
    if os.geteuid() != 0:
        sys.exit(f"{script}: needs root for network namespaces")
    if not os.access(options.watch, os.X_OK):
        sys.exit(f"{script}: no tevra-watch at {options.watch}")
    return options


class Watch:
    """tevra-watch with a period far longer than the run, so that only the
    kernel's notifications can bring its lines; entered once it has made its
    first read, which a broadcast MAC set beforehand shows by its line."""

    def __init__(self, path, script):
        self.path, self.script = path, script

    def __enter__(self):
        self.process = subprocess.Popen([self.path, "--interval", "60000"], stdout=subprocess.PIPE)
        lines = Lines(self.process.stdout)
        if lines.wait_for(lambda line: "Broadcast MAC assigned" in line, 10) is None:
            self.__exit__(None, None, None)
            sys.exit(f"{self.script}: tevra-watch did not start")
        return lines

    def __exit__(self, *_):
        self.process.terminate()
        self.process.wait()


class Rounds:
    """Lines a change must bring, each timed from the change and from the
    kernel's own notification of it (what `ip monitor neigh` shows)."""

    LINE_WAIT_S = 2.0

    def __init__(self, lines, kernel):
        self.lines, self.kernel = lines, kernel
        self.from_change, self.above_kernel, self.missing = [], [], 0

    def time(self, text, mac, change):
        """Makes `change`, which gives `mac` to the kernel's address, and waits
        for a line that ends in `text`."""
        start = self.lines.count()
        self.kernel.seen.clear()
        changed_at = time.monotonic_ns()
        change()
        seen = self.lines.wait_for(lambda line: line.endswith(text), self.LINE_WAIT_S, start)
        accepted_at = self.kernel.accepted(mac)
        if seen is None or accepted_at is None:
            self.missing += 1
            return
        self.from_change.append((seen[0] - changed_at) / 1e6)
        self.above_kernel.append((seen[0] - accepted_at) / 1e6)

    def report(self, change):
        print(f"from {change} to the line: " + stats(self.from_change))
        print("from the kernel's notification to the line: " + stats(self.above_kernel))
        print(f"median above the kernel's notification {median(self.above_kernel):.2f} ms (target <= 5)")
