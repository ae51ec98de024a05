#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the IPv6 half of a dual-stack table costs on the real kernel: the scale
# ratio (scale_watch.sh) and the idle ratio (idle_watch.sh, tevra-watch only)
# on 60,000 IPv4 neighbours and on 30,000 IPv4 + 30,000 IPv6 ones, in one run,
# and mixed / IPv4-only of each. Target: within 10 % (<= 1.10).
# Needs root.
#
#   bench/mixed_watch.sh [build directory, default build]     ENTRIES=60000 RUNS=9 PERIODS=40
set -euo pipefail
here=$(dirname "$0")
build=$(realpath "${1:-build}")

scale_ratio() { grep '^ratio:' | awk '{ print $2 }'; }
idle_ratio() { grep '^tevra-watch per period / one bare dump:' | awk '{ print $8 }'; }

declare -A scale idle
for mixed in 0 1; do
    echo "=== MIXED=$mixed ==="
    out=$(MIXED=$mixed "$here/scale_watch.sh" "$build/cli/tevra-watch")
    echo "$out"
    scale[$mixed]=$(scale_ratio <<< "$out")
    out=$(MIXED=$mixed NO_WINDOW=1 "$here/idle_watch.sh" "$build")
    echo "$out"
    idle[$mixed]=$(idle_ratio <<< "$out")
done
echo
echo "scale ratio (tevra-watch --once / ip neigh show): IPv4-only ${scale[0]}, mixed ${scale[1]}"
echo "idle ratio (per period / one bare dump):          IPv4-only ${idle[0]}, mixed ${idle[1]}"
awk -v a="${scale[0]}" -v b="${scale[1]}" 'BEGIN { printf "scale mixed / IPv4-only: %.2f (target <= 1.10)\n", b / a }'
awk -v a="${idle[0]}" -v b="${idle[1]}" 'BEGIN { printf "idle mixed / IPv4-only:  %.2f (target <= 1.10)\n", b / a }'
