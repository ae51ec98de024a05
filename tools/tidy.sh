#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs clang-tidy (.clang-tidy's checks) on the Linux build's sources in every
# folder that the changes since BASE touch; a finding fails. Usage:
#   tools/tidy.sh BUILD_DIR [BASE]     BASE defaults to HEAD~1
# Windows sources are not in the Linux build's compile database and are left out.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: tools/tidy.sh BUILD_DIR [BASE]}
base=${2:-HEAD~1}
if ! git rev-parse -q --verify "$base^{commit}" > /dev/null; then
    echo "tidy: no $base to compare with; nothing checked"
    exit 0
fi
mapfile -t folders < <(git diff --name-only "$base" HEAD -- engine hostnet cli ui helper \
    | xargs -r -n1 dirname | sort -u)
files=()
for folder in "${folders[@]}"; do
    [[ -d $folder ]] || continue
    while IFS= read -r file; do
        case $file in */windows/* | ui/win32/*) continue ;; esac
        grep -q "\"file\": \"$PWD/$file\"" "$build/compile_commands.json" && files+=("$file")
    done < <(find "$folder" -maxdepth 1 -name '*.cpp' | sort)
done
if [[ ${#files[@]} -eq 0 ]]; then
    echo "tidy: no C++ source changed since $base"
    exit 0
fi
echo "tidy: ${#files[@]} files in ${#folders[@]} folders"
run-clang-tidy -p "$build" -j "$(nproc)" -quiet "${files[@]}" > "$build/tidy.log" 2>&1 || {
    grep -E "(warning|error):" "$build/tidy.log" || tail -n 20 "$build/tidy.log"
    exit 1
}
