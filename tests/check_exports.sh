#!/usr/bin/env bash
# The native library exports the sixteen functions and nothing else.
set -euo pipefail
expected="Dispose DoorClose DoorOpen Elapse GetPluginVersion HornBlow Initialize KeyDown KeyUp Load SetBeaconData SetBrake SetPower SetReverser SetSignal SetVehicleSpec"
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | LC_ALL=C sort | xargs)
echo "exports: $actual"
[ "$actual" = "$expected" ] || { echo "expected: $expected"; exit 1; }
