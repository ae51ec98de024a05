#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The README's picture of the window on Windows: the real Tevra.exe, cross-built
# with mingw-w64, under Wine on Xvfb with openbox, on a network namespace's
# table, as the Wine test runs it (tests/wine, WindowUnderWine.
# ShowsItsWindowThroughFiveTicksAndEndsOnWmClose) and pictures it after five
# ticks. Saves docs/screenshot-windows-window.png. Needs root (the namespace).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages "${TEVRA_BUILD_PACKAGES[@]}"
ensure_packages --no-install-recommends "${TEVRA_WINDOWS_PACKAGES[@]}"
[ "$(id -u)" -eq 0 ] || { echo "Run as root: the neighbour entries live in a network namespace." >&2; exit 1; }

mkdir -p build docs
cmake --preset windows-cross > build/configure-windows.log 2>&1 || { cat build/configure-windows.log; exit 1; }
cmake --build --preset windows-cross --target tevra window_probe
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEVRA_WINDOWS_BUILD="$PWD/build-windows" \
    > build/configure.log 2>&1 || { cat build/configure.log; exit 1; }
cmake --build build --target test_wine
TEVRA_WINDOW_PICTURE="$PWD/docs/screenshot-windows-window.png" bash tests/support/with-x-display.sh \
    build/tests/wine/test_wine --gtest_filter='WindowUnderWine.ShowsItsWindowThroughFiveTicksAndEndsOnWmClose'
echo "Saved docs/screenshot-windows-window.png"
