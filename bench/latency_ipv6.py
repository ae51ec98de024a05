#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""An IPv6 neighbour's MAC forged and restored while tevra-watch runs with a
period far longer than the run (--interval 60000), so only the kernel's
notifications can bring its lines. Each change is one rtnetlink request in a
network namespace made for the run; the latency runs from the moment the
kernel's own notification of the change arrived on a subscribed socket (what
`ip monitor neigh` shows) to the moment the line is read from tevra-watch.
Every forgery and restore must give its line. Needs root.
Target: median <= 5 ms above the kernel's notification.

    bench/latency_ipv6.py [path/to/tevra-watch] [--forgeries 50]
"""

import os
import random
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import nsbench  # noqa: E402
from arp_wire import KernelChanges  # noqa: E402

ADDRESS = "2001:db8:66::5"
GENUINE = "00:0c:29:11:22:33"


def main():
    options = nsbench.watch_options("latency_ipv6.py", __doc__.splitlines()[0], "forgeries", 50)
    with nsbench.Namespaces("tevra-lat6") as namespaces:
        nsbench.enter(namespaces.host)
        kernel = KernelChanges(ADDRESS)
        setter = nsbench.NeighbourSetter("veth0")
        setter.set(ADDRESS, GENUINE)
        setter.set("10.66.0.99", "ff:ff:ff:ff:ff:ff")
        with nsbench.Watch(options.watch, "latency_ipv6.py") as lines:
            rounds = nsbench.Rounds(lines, kernel)
            genuine = nsbench.mac_text(nsbench.mac_bytes(GENUINE))
            for n in range(options.forgeries):
                forged = f"02:00:00:66:{n >> 8 & 255:02x}:{n & 255:02x}"
                shown = nsbench.mac_text(nsbench.mac_bytes(forged))
                for old, new, raw in ((genuine, shown, forged), (shown, genuine, GENUINE)):
                    rounds.time(f"{ADDRESS} changed from {old} to {new}", raw,
                                lambda raw=raw: setter.set(ADDRESS, raw))
                    # Uneven gaps, so that no line waits on a timer in step with the changes.
                    time.sleep(random.uniform(0.05, 0.15))
            time.sleep(0.2)
            extra = lines.count() - (1 + 2 * options.forgeries) + rounds.missing

    print(f"tevra-watch --interval 60000; {options.forgeries} forgeries of {ADDRESS}, "
          f"lines missing: {rounds.missing}, lines beyond those expected: {extra}")
    rounds.report("the request")
    return 0 if rounds.missing == 0 and extra == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
