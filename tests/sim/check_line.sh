#!/usr/bin/env bash
# Runs the simulator on a line file as its header says, and checks the result:
#   # run: ARGS       one run of the simulator on this file: corvane-sim ARGS FILE,
#                     ARGS led by the subcommand ("lint", "run -q --check")
#   # status: N       its exit status (0 unless given)
#   # expect: TEXT    a line of its output that contains TEXT
#   # absent: TEXT    no line of its output contains TEXT
# Each run's status and texts follow its "run:" line.
# usage: check_line.sh SIMULATOR FILE
set -f  # the arguments hold [ and {, never file patterns
sim=$1 file=$2 failed=0 output="" status=0 want=0 args="" ran=0

finish() {  # checks the run before the next one starts
  [ "$ran" -eq 1 ] || return 0
  [ "$status" -eq "$want" ] || { echo "$file ($args): exit status $status, expected $want"; failed=1; }
}

while IFS= read -r line; do
  case $line in
    "# run:"*)
      finish
      args=${line#"# run:"} ran=1
      echo "== corvane-sim$args $file"
      # shellcheck disable=SC2086  # the arguments are split as written
      output=$("$sim" $args "$file" 2>&1)
      status=$? want=0
      # A written scenario carries this header back: its lines are no output.
      output=$(grep -v '^ *# \(run\|status\|expect\|absent\):' <<< "$output")
      echo "$output" | tail -n 12 ;;
    "# status: "*) want=${line#"# status: "} ;;
    "# expect: "*)
      grep -qF -- "${line#"# expect: "}" <<< "$output" ||
        { echo "$file ($args): no line contains: ${line#"# expect: "}"; failed=1; } ;;
    "# absent: "*)
      ! grep -qF -- "${line#"# absent: "}" <<< "$output" ||
        { echo "$file ($args): a line contains: ${line#"# absent: "}"; failed=1; } ;;
  esac
done < "$file"
finish
[ "$ran" -eq 1 ] || { echo "$file: no run: line"; exit 1; }
exit $failed
