#!/usr/bin/env bash
# corvane-replay's peak memory against its log's size: a recorded run of five
# hours (about 50 MB, mostly Elapse lines), and a log of as many
# bytes in the shortest calls, where a log costs most a byte.
# usage: bench/replay_memory.sh [REPLAY [SIMULATOR [PLUGIN]]]
set -euo pipefail
replay=${1:-build/native/replay/corvane-replay}
sim=${2:-build/native/sim/corvane-sim}
plugin=${3:-build/native/plugin/libtessaly_corvane.so}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A train without brakes coasting at 60 km/h, 60 frames a second.
cat > "$work/long.toml" <<'TOML'
run = { start_speed = 60, end_location = 20000000, max_duration = 18000 }
dynamics = { decel_by_notch = [0, 0, 0, 0, 0, 0, 0, 0, 0, 0], resistance = 0 }
driver = { mode = "unattended" }
TOML
"$sim" run --quiet --record "$work/run.log" "$work/long.toml" > /dev/null

pairs=$(($(wc -c < "$work/run.log") / 18))
{
  echo "corvane-calls 2"
  echo Load
  awk -v n="$pairs" 'BEGIN { for (i = 0; i < n; i++) print "KeyDown 1\nKeyUp 1" }'
  echo Dispose
  echo "end $((pairs * 2 + 2))"
} > "$work/keys.log"

for log in run keys; do
  /usr/bin/time -f %M -o "$work/peak" "$replay" "$work/$log.log" "$plugin" > /dev/null
  awk -v name="$log" -v bytes="$(wc -c < "$work/$log.log")" -v kb="$(cat "$work/peak")" 'BEGIN {
    printf "%-5s log %6.1f MB, peak resident %7.1f MB (%.2f of the log)\n",
           name, bytes / 1e6, kb * 1024 / 1e6, kb * 1024 / bytes }'
done
