#!/usr/bin/env bash
# Builds Tevra and starts its window. Without a display it says so and starts
# the console watcher tevra-watch instead. Arguments go to the program started
# (tevra has none of its own; Qt's, such as -platform, are honoured).
# Run it as yourself: reading the ARP table needs no privileges. Deleting and
# flushing entries need CAP_NET_ADMIN, which an installed window gets from
# tevra-arp-helper through pkexec.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages "${TEVRA_BUILD_PACKAGES[@]}"

mkdir -p build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > build/configure.log 2>&1 \
    || { cat build/configure.log; exit 1; }

built() {  # target: builds it and prints the path of its program
    cmake --build build --target "$1" >&2
    find build -name "$1" -type f -perm -u+x -print -quit
}

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display (DISPLAY and WAYLAND_DISPLAY are empty): starting the console watcher tevra-watch instead of the window." >&2
    program=$(built tevra-watch)
else
    program=$(built tevra)
fi
exec "$program" "$@"
