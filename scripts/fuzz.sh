#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer harnesses with clang into build-fuzz/ and runs each of them.
#   bash scripts/fuzz.sh 100000     100,000 runs per harness (what the test command does)
#   bash scripts/fuzz.sh 0 600      fuzz each harness for 10 minutes instead
# New inputs go to build-fuzz/corpus/<harness>/; the seeds in fuzz/corpus/ are only read. A
# harness with a fuzz/<harness>.dict gets it as its dictionary.
# A crash leaves crash-<hash> in build-fuzz/; rerun it with build-fuzz/fuzz/<harness> <file>.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-100000}"
seconds="${2:-0}"

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVESTRA_BUILD_FUZZ=ON -DVESTRA_BUILD_TESTS=OFF
cmake --build build-fuzz --target fuzzers -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for seeds in fuzz/corpus/*/; do
    name="$(basename "$seeds")"
    work="build-fuzz/corpus/$name"
    mkdir -p "$work"
    maxLen=4096
    harnessRuns="$runs"
    extra=()
    if [ "$name" = fuzz_analysis_file ]; then
        # Saved analyses are 4 to 133 KB (an alignment's grid is the largest): fed whole, they
        # reach every part of the reader. A run then takes about seven times as long, so an
        # eighth of the runs keeps the step no longer than before (10 to 14 s against 18 s).
        maxLen=153600
        harnessRuns=$((runs / 8))
    fi
    if [ -f "fuzz/$name.dict" ]; then extra+=(-dict="../fuzz/$name.dict"); fi
    limit=()
    if [ "$seconds" -gt 0 ]; then
        limit=(-max_total_time="$seconds")
    else
        limit=(-runs="$harnessRuns")
    fi
    log="build-fuzz/$name.log"
    echo "== $name"
    if ! (cd build-fuzz && "./fuzz/$name" -seed=1 -max_len="$maxLen" -rss_limit_mb=4096 \
            -timeout=60 -print_final_stats=1 "${extra[@]}" "${limit[@]}" "../$work" "../$seeds" \
            >"../$log" 2>&1); then
        tail -n 80 "$log"
        echo "fuzzing: $name failed; see $log" >&2
        exit 1
    fi
    grep -E '^(Done|stat::number_of_executed_units)' "$log" || tail -n 3 "$log"
done
echo "fuzzing: all harnesses ran clean"
