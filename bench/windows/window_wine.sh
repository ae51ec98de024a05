#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs bench_window_win32.exe of a windows-cross build under Wine, on an X
# display of its own (Xvfb, openbox) and with a Wine prefix made for the run
# and removed after it. Usage: bench/windows/window_wine.sh [build-windows]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-windows}
program="$PWD/$build/bench/windows/bench_window_win32.exe"
[ -x "$program" ] || { echo "Build it first: cmake --build --preset windows-cross --target bench_window_win32" >&2; exit 1; }
prefix=$(mktemp -d /tmp/tevra-bench-wine-XXXXXX)
trap 'WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2> /dev/null || true; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine's desktop process opens the display for every window: start it on ours.
bash tests/support/with-x-display.sh sh -c '/usr/lib/wine/wine64 wineboot --init > /dev/null 2>&1 && /usr/lib/wine/wine64 "$0"' "$program"
