#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ file differs from what the
# project's .clang-format makes of it. Fix with: clang-format -i FILE...
set -euo pipefail
cd "$(dirname "$0")/.."
off=()
while IFS= read -r f; do
    clang-format --dry-run -Werror "$f" > /dev/null 2>&1 || off+=("$f")
done < <(git ls-files '*.cpp' '*.h')
if [ ${#off[@]} -gt 0 ]; then
    echo "These files differ from .clang-format (run: clang-format -i ${off[*]}):" >&2
    printf '  %s\n' "${off[@]}" >&2
    exit 1
fi
echo "format: all C++ files match .clang-format"
