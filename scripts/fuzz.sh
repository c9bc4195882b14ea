#!/usr/bin/env bash
# Fuzzes for the given number of seconds (default 600): half of it sequences
# of host calls, starting from seeds recorded from the example lines, and a
# quarter each the scenario reader and the call-log reader, starting from
# the example and test lines and a recorded log. Any finding stops the run
# with a non-zero status and leaves the input in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}

[ -x build/native/fuzz/make_seeds ] || scripts/build.sh
seeds=build/fuzz/seeds
mkdir -p $seeds/host_calls $seeds/scenario $seeds/call_log build/fuzz/findings
build/native/fuzz/make_seeds $seeds/host_calls examples/demo.toml examples/unattended.toml
cp examples/*.toml tests/sim/lines/*.toml $seeds/scenario/
build/native/sim/corvane-sim run --quiet --record build/fuzz/demo.log examples/demo.toml >/dev/null
head -n 400 build/fuzz/demo.log > $seeds/call_log/demo-start.log

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCORVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/fuzz

# One target for its share of the time, from its seeds and past findings.
fuzz() {
  local target=$1 share=$2 regressions=fuzz/regressions/$3 length=$4
  mkdir -p build/fuzz/corpus/"$target"
  local dirs=(build/fuzz/corpus/"$target" $seeds/"$3")
  [ -d "$regressions" ] && dirs+=("$regressions")
  build/fuzz/fuzz/"$target" -max_total_time=$((seconds * share / 4)) -max_len="$length" \
    -print_final_stats=1 -artifact_prefix=build/fuzz/findings/"$target"- "${dirs[@]}"
}
# Scenarios as long as a quarter megabyte, room for nesting attacks.
fuzz host_calls_fuzzer 2 host_calls 32768
fuzz scenario_fuzzer 1 scenario 262144
fuzz call_log_fuzzer 1 call_log 32768
