#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails, naming the files, when a tracked C++ file differs from what the
# project's .clang-format makes of it. Fix with: clang-format -i FILE...
# One clang-format call for all files; the generated vendor registry
# (res/EmbeddedRegistry.cpp, tools/make-vendor-registry.py) is not checked.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' ':!res/EmbeddedRegistry.cpp')
report=$(clang-format --dry-run -Werror "${files[@]}" 2>&1 >/dev/null || true)
if [ -n "$report" ]; then
    mapfile -t off < <(grep -oE '^[^:]+\.(cpp|h):[0-9]+:[0-9]+: error' <<<"$report" | cut -d: -f1 | sort -u)
    echo "These files differ from .clang-format (run: clang-format -i ${off[*]}):" >&2
    printf '  %s\n' "${off[@]}" >&2
    exit 1
fi
echo "format: all C++ files match .clang-format"
