#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Shows the alert presentation on a real X desktop and saves screenshots.
#   tray:          Xvfb, openbox and trayer as the notification area: the window
#                  hides behind its icon, an alert shows a balloon and the warning icon.
#   notification:  Xvfb, openbox and dunst, no notification area: the window stays
#                  minimised in the task bar, an alert becomes a desktop notification.
#   save:          the output list saved twice through the real save dialog: a name
#                  typed without extension gets .txt, the second save asks before
#                  replacing the file, and the file holds the lines with CR LF.
#   tevra:         the real program in a network namespace of its own, with a
#                  tray: minimised to its icon, one mapping of the namespace's
#                  neighbour table changes, and the balloon and warning icon are
#                  saved as docs/screenshot-tray-alert.png.
# Each variant runs on a D-Bus session of its own. The first three show the
# stand-in alerts_desktop_check, which can raise its alerts on cue.
# Usage: tools/screenshot-alerts.sh [tray|notification|save|tevra|all] [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages "${TEVRA_DESKTOP_PACKAGES[@]}"

variant=${1:-all}
build=${2:-build}
program=$(realpath -m "$build/tests/alerts/alerts_desktop_check")
out=$build/screenshots
mkdir -p "$out"
tevra=$(realpath -m "$build/ui/tevra")
lib=$(realpath tools/desktop-session.sh)
if [ "$variant" != tevra ]; then
    [ -x "$program" ] || { echo "build alerts_desktop_check first: ninja -C $build alerts_desktop_check" >&2; exit 1; }
fi

# One desktop session: started inside dbus-run-session so its bus and its
# processes end with it.
run_session() {
    local name=$1
    dbus-run-session -- bash -s "$name" "$program" "$out" "$lib" <<'SESSION'
set -euo pipefail
name=$1 program=$2 out=$3 lib=$4
. "$lib"

start_desktop "$name" "$out"
if [ "$name" = tray ]; then
    start_tray "$name" "$out"
else
    dunst > "$out/$name-dunst.log" 2>&1 &
    pids+=($!)
fi
sleep 1
QT_QPA_PLATFORM=xcb "$program" tray 9000 > "$out/$name-program.log" 2>&1 &
program_pid=$!
pids+=($program_pid)
sleep 1
import -window root "$out/$name-1-shown.png"
sleep 3.5
import -window root "$out/$name-2-alert.png"
if [ "$name" = tray ]; then
    # A left click on the icon, which trayer keeps in the bottom right corner.
    xdotool mousemove 1010 584 click 1
else
    # What a task bar button does: ask the window manager to bring it back.
    xdotool search --name '^Tevra$' windowactivate --sync || true
fi
sleep 1
import -window root "$out/$name-3-restored.png"
wait "$program_pid" || true
cat "$out/$name-program.log"
SESSION
    # With a tray the window hides behind the icon; without one it stays in the task bar.
    local expected="in tray: yes, window visible: no"
    [ "$name" = tray ] || expected="in tray: yes, window visible: yes"
    grep -qF "$expected" "$out/$name-program.log" || { echo "$name: expected '$expected'" >&2; return 1; }
    expected="at the end: in tray: no, window visible: yes, minimised: no"
    grep -qF "$expected" "$out/$name-program.log" || { echo "$name: expected '$expected'" >&2; return 1; }
}

run_save_session() {
    local folder
    folder=$(mktemp -d)
    dbus-run-session -- bash -s "$program" "$out" "$folder" "$lib" <<'SESSION'
set -euo pipefail
program=$1 out=$2 folder=$3 lib=$4
. "$lib"

start_desktop save "$out"
sleep 1
(cd "$folder" && QT_QPA_PLATFORM=xcb exec "$program" save) > "$out/save-program.log" 2>&1 &
program_pid=$!
pids+=($program_pid)
# The file name box has the focus when the dialog opens.
xdotool search --sync --onlyvisible --name '^Save As$' > /dev/null
sleep 1
xdotool type --delay 30 alerts-out
import -window root "$out/save-1-dialog.png"
xdotool key Return
sleep 1.5
xdotool search --sync --onlyvisible --name '^Save As$' > /dev/null
sleep 1
xdotool type --delay 30 alerts-out
xdotool key Return
sleep 1
import -window root "$out/save-2-overwrite-question.png"
xdotool key alt+y
wait "$program_pid" || true
cat "$out/save-program.log"
SESSION
    local ok=0
    printf '1 - %s\r\n2 - %s\r\n3 - %s\r\n' \
        "09:14:58: New mapping: 192.168.0.1 has 00-0C-29-11-22-33" \
        "09:14:59: Duplicate MAC: 192.168.0.20 and 192.168.0.21 both have 00-0C-29-AA-BB-CC, one of them may be forged" \
        "09:15:00: Broadcast MAC assigned: 192.168.0.7" | cmp - "$folder/alerts-out.txt" || ok=1
    ls -la "$folder"
    rm -rf "$folder"
    [ $ok -eq 0 ] || { echo "save: alerts-out.txt is not the three lines with CR LF" >&2; return 1; }
}

# The real window over a neighbour table the script controls: a veth pair in a
# fresh network namespace, so the host's own table is neither read nor touched.
run_tevra_session() {
    [ -x "$tevra" ] || { echo "build tevra first: ninja -C $build tevra" >&2; return 1; }
    unshare --net -- dbus-run-session -- bash -s "$tevra" "$out" "$lib" <<'SESSION'
set -euo pipefail
tevra=$1 out=$2 lib=$3
. "$lib"

ip link set lo up
ip link add tv0 type veth peer name tv1
ip addr add 10.77.0.1/24 dev tv0
ip link set tv0 up
ip link set tv1 up
ip neigh replace 10.77.0.5 lladdr 02:00:00:00:00:05 dev tv0 nud stale

start_desktop tevra "$out"
start_tray tevra "$out"
sleep 1
QT_QPA_PLATFORM=xcb "$tevra" > "$out/tevra-program.log" 2>&1 &
tevra_pid=$!
pids+=($tevra_pid)
# The splash pauses for 1.4 s; then a tick or two lists the neighbour.
sleep 4
window=$(xdotool search --onlyvisible --name '^Tevra$' | head -n 1)
import -window root "$out/tevra-1-shown.png"
xdotool windowminimize "$window"
sleep 1.5
import -window root "$out/tevra-2-in-tray.png"
ip neigh replace 10.77.0.5 lladdr 02:00:00:00:00:99 dev tv0 nud stale
sleep 3
import -window root "$out/tevra-3-alert.png"
# Hidden behind its icon, the window still runs, and the icon is back to back
# with trayer's corner: a left click there brings the window back.
kill -0 "$tevra_pid" || { echo "tevra: the program ended when it went to the tray" >&2; exit 1; }
if xdotool search --onlyvisible --name '^Tevra$' > /dev/null; then
    echo "tevra: the window is still visible after minimising" >&2
    exit 1
fi
xdotool mousemove 1010 584 click 1
sleep 1
import -window root "$out/tevra-4-restored.png"
xdotool search --onlyvisible --name '^Tevra$' > /dev/null \
    || { echo "tevra: a click on the icon did not bring the window back" >&2; exit 1; }
SESSION
    cp "$out/tevra-3-alert.png" docs/screenshot-tray-alert.png
}

case $variant in
    tray|notification) run_session "$variant" ;;
    save) run_save_session ;;
    tevra) run_tevra_session ;;
    all) run_session tray; run_session notification; run_save_session; run_tevra_session ;;
    *) echo "unknown variant: $variant" >&2; exit 2 ;;
esac
ls -1 "$out"/*.png
