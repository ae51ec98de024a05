#!/usr/bin/env python3
"""Builds Tevra's OUI list from the IEEE MA-L registry text.

Reads the registry (by default Debian's ieee-data copy) and writes one line per
24-bit prefix: six upper-case hex digits, five spaces, the organisation name as
registered (trimmed, inner spaces kept, UTF-8), CR LF. Lines ascend by prefix;
the first entry for a prefix wins; entries without a name are left out.
"""
import re
import sys

REGISTRY = "/usr/share/ieee-data/oui.txt"
LINE = re.compile(r"^([0-9A-Fa-f]{6})\s+\(base 16\)\s*(.*)$")


def read_registry(path):
    names = {}
    with open(path, encoding="utf-8", errors="replace", newline="") as registry:
        for raw in registry:
            match = LINE.match(raw.rstrip("\r\n"))
            if not match:
                continue
            prefix, name = match.group(1).upper(), match.group(2).strip()
            if name and prefix not in names:
                names[prefix] = name
    return names


def main():
    source = sys.argv[1] if len(sys.argv) > 1 else REGISTRY
    target = sys.argv[2] if len(sys.argv) > 2 else "res/oui.txt"
    names = read_registry(source)
    if not names:
        sys.exit(f"make-oui-list: no MA-L entries found in {source}")
    with open(target, "wb") as out:
        for prefix in sorted(names, key=lambda p: int(p, 16)):
            out.write(f"{prefix}     {names[prefix]}\r\n".encode("utf-8"))
    print(f"make-oui-list: {len(names)} prefixes written to {target}")


if __name__ == "__main__":
    main()
