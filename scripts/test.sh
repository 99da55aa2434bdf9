#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up and builds like scripts/run.sh, then runs every check CI runs:
#   1. all tests (CTest, offscreen),
#   2. the Debian package, packed from build/, and the program installed from it,
#   3. the licence identifier at the top of every source file,
#   4. all tests again built with AddressSanitizer and UndefinedBehaviorSanitizer,
#   5. each libFuzzer harness for a short, fixed number of runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"

echo "== tests"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Debian package"
bash scripts/package-checks.sh

echo "== licence identifiers"
bash scripts/spdx.sh --check

echo "== tests with sanitizers"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESTRA_SANITIZE=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== fuzzing (short runs)"
bash scripts/fuzz.sh 100000
