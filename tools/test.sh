#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Tevra and runs every test: once in a plain build, once under
# AddressSanitizer and UndefinedBehaviorSanitizer, both with warnings as
# errors. The plain run also runs the Windows cross-build's programs under
# Wine. Kernel and Wine tests need root.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/deps.sh
ensure_packages "${TEVRA_BUILD_PACKAGES[@]}"
ensure_packages --no-install-recommends "${TEVRA_WINDOWS_PACKAGES[@]}"

jobs=$(nproc)
# A kernel or Wine test that cannot run (no root) fails here instead of skipping.
export TEVRA_REQUIRE_KERNEL_TESTS=1
echo "== format"
bash tools/check-format.sh

run_suite() {
    local dir=$1; shift
    mkdir -p "$dir"
    cmake -S . -B "$dir" -G Ninja "$@" > "$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; return 1; }
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

echo "== Windows cross-build"
mkdir -p build-windows
cmake --preset windows-cross -DTEVRA_WERROR=ON > build-windows/configure.log 2>&1 \
    || { cat build-windows/configure.log; exit 1; }
cmake --build --preset windows-cross
echo "== plain build"
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTEVRA_WERROR=ON -DTEVRA_WINDOWS_BUILD="$PWD/build-windows"
echo "== clang-tidy on the folders the last change touched"
bash tools/tidy.sh build
echo "== sanitizer build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DTEVRA_SANITIZE=ON -DTEVRA_WERROR=ON
