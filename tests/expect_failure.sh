#!/usr/bin/env bash
# Runs a command that must fail: with the given exit status and a message
# matching the given pattern (grep -E).
# usage: expect_failure.sh STATUS PATTERN COMMAND [ARGS...]
status=$1 pattern=$2
shift 2
output=$("$@" 2>&1)
actual=$?
echo "$output"
[ "$actual" -eq "$status" ] || { echo "exit status $actual, expected $status"; exit 1; }
grep -Eq -- "$pattern" <<< "$output" || { echo "no message matching: $pattern"; exit 1; }
