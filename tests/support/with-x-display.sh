#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test program on an X display of its own (Xvfb) with a window manager
# (openbox), so that minimising and restoring a window work as on a desktop;
# both end with the program. Without Xvfb the program runs without a display
# and skips what needs one.
set -uo pipefail
if ! command -v Xvfb > /dev/null; then
    unset DISPLAY
    exec "$@"
fi
pids=()
trap 'kill "${pids[@]}" 2> /dev/null' EXIT
exec 3<> <(:)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
pids+=($!)
if ! read -r -t 10 number <&3; then
    echo "Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=:$number
if command -v openbox > /dev/null; then
    openbox --sm-disable > /dev/null 2>&1 &
    pids+=($!)
    # Ready once it names itself on the root window; a window shown before
    # that is not managed.
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && break
        sleep 0.05
    done
fi
"$@"
