#!/usr/bin/env bash
# Sweep throughput: the demo line's 100 runs with one worker and with two,
# and a 30-station line over 300 combinations with every core.
# usage: bench/sweep_throughput.sh [SIMULATOR]
set -euo pipefail
sim=${1:-build/native/sim/corvane-sim}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds() {  # seconds a command takes, to the millisecond
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

demo=(sweep "$root/examples/demo.toml" --set 'sweep.brake_scale={from=0.9,to=1.1,steps=5}'
      --set 'sweep.time_step=[0.0333,0.0167]' --set 'sweep.time_step_jitter=[0.2]'
      --set 'sweep.seed={from=1,to=10,steps=10}')
one=$(seconds "$sim" "${demo[@]}" -j1)
two=$(seconds "$sim" "${demo[@]}" -j2)
echo "demo line, 100 runs: 1 worker $one s, 2 workers $two s, speed-up $(awk -v a="$one" -v b="$two" 'BEGIN { printf "%.2f", a / b }')"

python3 "$root/scripts/measure_lines.py" "$sim" line "$work/thirty.toml" 30 2>/dev/null
big=(sweep "$work/thirty.toml" --set 'sweep.brake_scale={from=0.92,to=1.08,steps=5}'
     --set 'sweep.time_step=[0.0333,0.0167,0.0083]' --set 'sweep.time_step_jitter=[0.2]'
     --set 'sweep.seed=[1,2]' --set 'sweep.load=[0,0.5,1]' --set 'sweep.lag=[0.5,0.7]')
echo "30 stations, 270 runs on every core: $(seconds "$sim" "${big[@]}" --keep-going) s"
