#!/usr/bin/env bash
# The native library exports the sixteen functions and nothing else.
set -euo pipefail
expected="DoorClose DoorOpen Dispose Elapse GetPluginVersion HornBlow Initialize KeyDown KeyUp Load SetBeaconData SetBrake SetPower SetReverser SetSignal SetVehicleSpec"
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' ' | sed 's/ $//')
sorted_expected=$(echo "$expected" | tr ' ' '\n' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$sorted_expected" ]; then
  echo "exports differ:"; echo " expected: $sorted_expected"; echo " actual:   $actual"; exit 1
fi
echo "exports: $actual"
