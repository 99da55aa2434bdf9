#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds in Release into build-release/ and runs every benchmark. The sequence benchmarks
# generate their photos and video once into build-release/bench-data/ (about 1.1 GB).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVESTRA_BUILD_BENCH=ON \
    -DVESTRA_BUILD_TESTS=OFF
cmake --build build-release --target benchmarks -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export VESTRA_BENCH_DATA="$PWD/build-release/bench-data"
for bench in build-release/bench/*_bench; do
    echo "== $(basename "$bench")"
    "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
done
