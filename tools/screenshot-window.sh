#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screenshots of the real program on a real X server: tevra runs under Xvfb
# with the openbox window manager, inside a network namespace of its own that
# holds a few neighbour entries (one with the broadcast MAC). Saves
#   docs/screenshot-splash.png   the splash screen during start-up
#   docs/screenshot-window.png   the window after two ticks
# Between the two ticks one neighbour changes its MAC address. The splash's
# second line is saved as build/screenshot-splash-address.png, and at the end
# Escape must end the program. Needs root (for the namespace); everything it
# creates is removed when it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages "${TEVRA_BUILD_PACKAGES[@]}" "${TEVRA_DESKTOP_PACKAGES[@]}"
[ "$(id -u)" -eq 0 ] || { echo "Run as root: the neighbour entries live in a network namespace." >&2; exit 1; }

mkdir -p build docs
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > build/configure.log 2>&1 \
    || { cat build/configure.log; exit 1; }
cmake --build build --target tevra
program=$(find build -name tevra -type f -perm -u+x -print -quit)

ns=tevra-shot-$$
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    ip netns del "$ns" 2>/dev/null || true
}
trap cleanup EXIT

# The namespace: a veth pair on 192.168.77.0/24 and its neighbours.
ip netns add "$ns"
ip -n "$ns" link set lo up
ip -n "$ns" link add veth0 type veth peer name veth1
ip -n "$ns" addr add 192.168.77.1/24 dev veth0
ip -n "$ns" link set veth0 up
ip -n "$ns" link set veth1 up
neighbour() { ip -n "$ns" neigh "$1" "$2" lladdr "$3" dev veth0 nud permanent; }
neighbour add 192.168.77.10 00:0c:29:11:22:33
neighbour add 192.168.77.20 00:1b:21:3a:4b:5c
neighbour add 192.168.77.30 ff:ff:ff:ff:ff:ff
neighbour add 192.168.77.40 52:54:00:12:34:56

# A free display number; Xvfb's socket is a file, so the program inside the
# namespace reaches it too.
display=90
while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
export DISPLAY=:$display
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp > /dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done
openbox > /dev/null 2>&1 &
pids+=($!)
sleep 1

export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
ip netns exec "$ns" "$program" > build/screenshot-tevra.log 2>&1 &
tevra=$!
pids+=($tevra)

# The splash, captured from the screen itself while the program sleeps in its
# start-up pauses: frames until it closes. The first shows the version line,
# the last the web address line; if they are equal, a line was never painted.
splash=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tevra starting$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$splash")"
frames=$(mktemp -d)
frame=0
while xdotool search --onlyvisible --name '^Tevra starting$' > /dev/null 2>&1 && [ $frame -lt 100 ]; do
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$frames/$frame.png"
    frame=$((frame + 1))
done
last=$(ls "$frames" | sort -n | tail -1)
cp "$frames/0.png" docs/screenshot-splash.png
cp "$frames/$last" build/screenshot-splash-address.png
if [ "$(compare -metric AE "$frames/0.png" "$frames/$last" null: 2>&1 || true)" = 0 ]; then
    echo "The splash never showed its second line ($frame frames)" >&2
    exit 1
fi
rm -r "$frames"

# The window, wide enough for all nine columns; then two ticks, 1500 ms apart.
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tevra$' | head -1)
xdotool windowsize "$window" 1060 380
xdotool windowmove "$window" 40 40
sleep 2.2   # the first tick comes 1500 ms after start-up
neighbour replace 192.168.77.10 00:0c:29:44:55:66
sleep 1.6   # the second tick
import -frame -window "$window" docs/screenshot-window.png
echo "Saved docs/screenshot-splash.png and docs/screenshot-window.png"

# Escape ends the run, and with it the process.
xdotool windowactivate --sync "$window" key Escape
for _ in $(seq 50); do kill -0 "$tevra" 2> /dev/null || break; sleep 0.1; done
if kill -0 "$tevra" 2> /dev/null; then
    echo "tevra is still running 5 s after Escape" >&2
    exit 1
fi
status=0
wait "$tevra" || status=$?
echo "Escape ended tevra (exit status $status)"
