#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Tevra and starts its window. Without a display it says so and starts
# the console watcher tevra-watch instead. Arguments go to the program started
# (tevra has none of its own; Qt's, such as -platform, are honoured).
# Run it as yourself: reading the ARP table needs no privileges. Deleting and
# flushing entries need CAP_NET_ADMIN, which an installed window gets from
# tevra-arp-helper through pkexec. Run through sudo (so that missing packages
# can be installed), it builds and starts the program as the user who called
# sudo; as root without sudo there is no such user, and it says so rather than
# start the window as root (the console watcher it starts as root).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages "${TEVRA_BUILD_PACKAGES[@]}"

display=${DISPLAY:-}${WAYLAND_DISPLAY:-}
# The user to build and run as: the one who called sudo, when we are root.
user=
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
    user=$SUDO_USER
elif [ "$(id -u)" -eq 0 ] && [ -n "$display" ]; then
    echo "tools/run.sh: running as root, and not through sudo: there is no user to start the window as," \
        "and it is not to run as root. Run tools/run.sh as yourself (the packages are in place now)." >&2
    exit 1
fi

# The command as that user, in that user's home, with our display and session bus.
as_user() {
    if [ -z "$user" ]; then
        "$@"
        return
    fi
    local uid home
    uid=$(id -u "$user")
    home=$(getent passwd "$user" | cut -d: -f6)
    local environment=(HOME="$home" USER="$user" LOGNAME="$user" PATH="$PATH")
    for name in DISPLAY WAYLAND_DISPLAY XAUTHORITY LANG; do
        [ -n "${!name:-}" ] && environment+=("$name=${!name}")
    done
    # The session bus and Wayland socket of the user's session, where it has one.
    [ -d "/run/user/$uid" ] && environment+=(XDG_RUNTIME_DIR="/run/user/$uid")
    runuser -u "$user" -- env -i "${environment[@]}" "$@"
}

# A build tree root made earlier would refuse the user's build.
if [ -n "$user" ] && [ -e build ] && ! as_user test -w build; then
    echo "tools/run.sh: build/ is not $user's to write (made as root earlier?); remove it or" \
        "chown -R $user build, then run this again." >&2
    exit 1
fi
as_user mkdir -p build
# Written by the user, so that the next run as that user may write it again.
as_user sh -c 'cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > build/configure.log 2>&1' \
    || { cat build/configure.log; exit 1; }

built() {  # target: builds it and prints the path of its program
    as_user cmake --build build --target "$1" >&2
    find build -name "$1" -type f -perm -u+x -print -quit
}

if [ -z "$display" ]; then
    echo "No display (DISPLAY and WAYLAND_DISPLAY are empty): starting the console watcher tevra-watch instead of the window." >&2
    program=$(built tevra-watch)
else
    program=$(built tevra)
fi
if [ -n "$user" ]; then
    echo "tools/run.sh: starting $program as $user, who called sudo." >&2
    as_user "$program" "$@"
    exit
fi
exec "$program" "$@"
