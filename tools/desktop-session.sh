# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced inside a desktop session of the screenshot scripts: a virtual X
# display with a window manager, and everything started here ended on exit.
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

# start_desktop NAME OUT: Xvfb on a free display (it writes the number to fd 3), then openbox.
start_desktop() {
    local name=$1 out=$2 number
    exec 3<> <(:)
    Xvfb -displayfd 3 -screen 0 1024x600x24 -nolisten tcp > "$out/$name-xvfb.log" 2>&1 &
    pids+=($!)
    read -r -t 10 number <&3
    export DISPLAY=:$number
    openbox > "$out/$name-openbox.log" 2>&1 &
    pids+=($!)
}

# start_tray NAME OUT: trayer as the notification area, in the bottom right corner.
start_tray() {
    trayer --edge bottom --align right --widthtype request --height 32 --SetDockType true \
        --transparent false --tint 0x404040 > "$2/$1-trayer.log" 2>&1 &
    pids+=($!)
}
