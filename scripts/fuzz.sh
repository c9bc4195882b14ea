#!/usr/bin/env bash
# Fuzzes sequences of host calls for the given number of seconds (default
# 600), starting from seeds recorded from the example lines. Any finding
# stops the run with a non-zero status and leaves the input in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

[ -x build/native/fuzz/make_seeds ] || scripts/build.sh
mkdir -p build/fuzz/seeds build/fuzz/corpus build/fuzz/findings
build/native/fuzz/make_seeds build/fuzz/seeds examples/demo.toml examples/unattended.toml

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/fuzz
build/fuzz/fuzz/host_calls_fuzzer -max_total_time="$seconds" -max_len=32768 -print_final_stats=1 \
  -artifact_prefix=build/fuzz/findings/ build/fuzz/corpus build/fuzz/seeds fuzz/regressions
