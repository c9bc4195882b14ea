#!/usr/bin/env bash
# The simulator as a careless or hostile user calls it: each case gives the
# exit status it must end with, and after every case each input and earlier
# output is byte for byte as it was, and no temporary file is left behind.
# The replay tool likewise with cut, CR LF and unwritable logs.
# usage: hostile.sh SIMULATOR DEMO_SCENARIO REPLAY PLUGIN
set -u
sim=$(realpath "$1") demo=$(realpath "$2") replay=$(realpath "$3") plugin=$(realpath "$4")
failed=0 ran=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

cp "$demo" v.toml
ln -s v.toml link.toml
ln -s "$sim" tool
ln -s loop2.csv loop1.csv && ln -s loop1.csv loop2.csv
mkdir adir
for f in old.csv old.html old.log; do echo "earlier output $f" > "$f"; done
# A train without brakes that coasts for a week: long enough to interrupt.
cat > long.toml <<'TOML'
run = { start_speed = 60, end_location = 20000000, max_duration = 604800 }
dynamics = { decel_by_notch = [0, 0, 0, 0, 0, 0, 0, 0, 0, 0], resistance = 0 }
driver = { mode = "unattended" }
TOML
printf 'run = { end_location = 10 }\n[%s]\n' "$(printf 'a.%.0s' {1..40000})a" > deep.toml
sums=$(md5sum v.toml long.toml deep.toml old.csv old.html old.log)

fail() { echo "FAIL ($1): $2"; failed=$((failed + 1)); }

check() {  # check STATUS WANT CASE
  ran=$((ran + 1))
  [ "$1" -eq "$2" ] || fail "$3" "exit status $1, expected $2: $(head -c 300 err.txt)"
  md5sum --quiet -c <<< "$sums" || fail "$3" "an input or earlier output changed"
  ! ls -A | grep -qE '^\..+\.[A-Za-z0-9]{6}$' || fail "$3" "a temporary file was left"
}

# status | arguments (a trailing ">FILE" sends the standard output there)
# [| a text the standard error must hold]
while IFS='|' read -r want args expect; do
  [[ $want =~ ^[[:space:]]*# || -z $want ]] && continue
  out=/dev/null
  [[ $args == *'>'* ]] && { out=${args##*>}; args=${args%>*}; }
  # shellcheck disable=SC2086  # the arguments are split as written
  "$sim" $args > "$out" 2> err.txt
  check $? "$want" "$args"
  [[ -z $expect ]] || grep -qF -- "${expect# }" err.txt || fail "$args" "no${expect}: $(head -c 300 err.txt)"
  rm -f new.csv new.html new.log
done <<'CASES'
# An output that is an input or another output, however spelled.
2 | run -q --csv v.toml v.toml
2 | run -q --report link.toml v.toml
2 | run -q --record ./adir/../v.toml v.toml
2 | run -q --csv new.csv --record new.csv v.toml
2 | run -q --report new.html --csv ./new.html v.toml
2 | run -q --csv old.csv --plugin old.csv v.toml
2 | run -q --csv - --record - v.toml
# An output that cannot be written leaves the others as they were.
3 | run -q --report nodir/r.html --csv old.csv v.toml
3 | run -q --csv adir v.toml
3 | run -q --csv tool v.toml | it is this program
3 | run -q --csv loop1.csv v.toml | Too many levels of symbolic links
3 | run -q --csv /dev/full --report old.html v.toml
3 | run -q v.toml >/dev/full
3 | run -q --csv old.csv v.toml >/dev/full
3 | run --csv old.csv --report /dev/full v.toml
3 | beacons v.toml >/dev/full
# Inputs that are not scenarios.
2 | run -q adir
2 | run -q /dev/zero
2 | run -q deep.toml
2 | run -q nosuch.toml
2 | run -q --set run.time_step=1e-9 v.toml
2 | run -q --plugin old.log v.toml
# Help is no error; an unknown option is; a plain FILE is a run.
0 | --help
3 | --help >/dev/full
0 | sweep --help
2 | --frobnicate v.toml
0 | -q --check v.toml
# A subcommand takes only its own options and names the ones that take
# another; the old mode flags name the subcommand that replaces them.
2 | lint --csv new.csv v.toml | --csv does not apply to lint; it is taken by run and sweep
2 | beacons --csv new.csv v.toml | --csv does not apply to beacons
2 | run -j2 v.toml | -j does not apply to run; it is taken by sweep and layout
2 | sweep --record=new.log v.toml | --record does not apply to sweep; it is taken by run
2 | layout v.toml | --output is required
2 | --sweep v.toml | --sweep is now a subcommand: corvane-sim sweep FILE
2 | lint --layout new.csv v.toml | --layout is now a subcommand: corvane-sim layout FILE -o OUT
# A limit that is no number slips past no more (nor an empty path or a
# --set value over two lines, below).
2 | sweep --run-limit nan v.toml | --run-limit: must be a number of seconds
# Sound runs write their outputs whole.
0 | run -q --csv new.csv --report new.html --record new.log v.toml
0 | run -q --csv /dev/null v.toml
CASES

# The standard output appended to the scenario is the scenario.
"$sim" run -q --csv - v.toml >> v.toml 2> err.txt
check $? 2 "--csv - onto the scenario"
# A file replaced keeps its permissions.
cp old.csv private.csv && chmod 600 private.csv
"$sim" run -q --csv private.csv v.toml > /dev/null 2> err.txt
check $? 0 "a private output"
[ "$(stat -c %a private.csv)" = 600 ] || fail "a private output" "mode $(stat -c %a private.csv)"
rm private.csv

# SIGINT and SIGTERM: the summary says where, no output is written.
for signal in INT:130 TERM:143; do
  "$sim" run -q --csv old.csv --report old.html --record old.log long.toml > summary.txt 2> err.txt &
  pid=$!
  sleep 1
  kill -"${signal%:*}" $pid
  wait $pid
  check $? "${signal#*:}" "SIG${signal%:*}"
  grep -qE "^interrupted at [0-9]{2}:[0-9]{2}:[0-9]{2}, [0-9]+\.[0-9] m$" summary.txt ||
    fail "SIG${signal%:*}" "no interrupted line with its time and place"
done

# Killed outright, as by a plug-in that crashes it: nothing is left behind.
"$sim" run -q --csv old.csv --report old.html --record old.log long.toml > /dev/null 2> err.txt &
pid=$!
sleep 1
kill -KILL $pid
wait $pid
check $? 137 "SIGKILL"

for args in "--csv|" "--set|run.seed=1"$'\n'"x=2"; do
  "$sim" run -q "${args%%|*}" "${args#*|}" v.toml > /dev/null 2> err.txt
  check $? 2 "run -q $args"
done

# A named pipe is written once a reader comes; waiting for one, a second
# signal ends the tool at once, as it would a plug-in hung in a call. One
# delivered twice at once, as `timeout` sends it to the tool and its
# group, is the first.
mkfifo pipe
ran=$((ran + 1))
(sleep 1; wc -l < pipe > piped.txt) &
"$sim" run -q --csv pipe v.toml > /dev/null 2> err.txt || fail "pipe" "$(head -c 300 err.txt)"
wait
[ "$(cat piped.txt)" -gt 20000 ] || fail "pipe" "the reader got $(cat piped.txt) lines"
"$sim" run -q --csv pipe v.toml > /dev/null 2> err.txt &
pid=$!
sleep 0.5
kill -TERM $pid
sleep 0.05
kill -TERM $pid
sleep 0.3
kill -0 $pid 2> /dev/null || fail "a signal delivered twice" "it ended the tool at once"
sleep 1
kill -TERM $pid
sleep 0.5
! kill -0 $pid 2> /dev/null || { fail "second signal" "still running"; kill -KILL $pid; }
wait $pid
check $? 143 "second signal"
# With no reader at all, it gives up after 10 s and says so.
"$sim" run -q --csv pipe v.toml > /dev/null 2> err.txt
check $? 3 "pipe with no reader"
grep -q "no process read the pipe within 10 s" err.txt || fail "pipe with no reader" "$(head -c 300 err.txt)"
rm pipe

# A standard error that cannot be written ends in a status, not an abort.
"$sim" lint adir 2> /dev/full
check $? 2 "lint adir 2>/dev/full"

# A sweep or a layout interrupted: its workers gone within a second, nothing
# written; a sweep out of descriptors says so and leaves no worker either.
printf 'sweep = { seed = [1, 2, 3, 4] }\n' >> long.toml
cp "$(dirname "$demo")/layout/line.toml" line.toml
cat > two.toml <<'TOML'
run = { start_location = 500, start_time = "08:00:00", end_location = 1900 }
station = [ { name = "A", stop = 500, departure = "08:00:30" },
            { name = "B", stop = 1700, door_side = 1, departure = "08:03:30" } ]
limit = [ { from = 0, speed = 60 } ]
sweep = { brake_scale = [1.0] }
TOML
sums=$(md5sum v.toml long.toml line.toml two.toml old.csv old.html old.log)
for job in "INT:130:sweep --csv old.csv long.toml" "TERM:143:layout line.toml -o old.csv"; do
  IFS=: read -r signal want args <<< "$job"
  # shellcheck disable=SC2086
  "$sim" $args > /dev/null 2> err.txt &
  pid=$!
  sleep 1
  kill -"$signal" $pid
  sleep 1
  ! pgrep -f "$args" > /dev/null || fail "SIG$signal $args" "a process outlived a second"
  wait $pid
  check $? "$want" "SIG$signal $args"
done
# (The sanitizers' runtime needs descriptors of its own: not under them.)
if ! nm "$sim" 2> /dev/null | grep -q __asan_init; then
  (ulimit -n 5; "$sim" sweep --csv old.csv long.toml > /dev/null 2> err.txt)
  check $? 3 "sweep out of descriptors"
  grep -q "cannot start a worker" err.txt || fail "descriptors" "no word of it"
  ! pgrep -f "long.toml" > /dev/null || fail "descriptors" "a worker was left"
fi
# A trial that runs over the run limit, as a hung plug-in would: no verdict
# on a run not seen, no file.
cat > far.toml <<'TOML'
run = { start_location = 500, start_time = "08:00:00", end_location = 50900, max_duration = 20000, time_step = 0.001 }
station = [ { name = "A", stop = 500, departure = "08:00:30" },
            { name = "B", stop = 50500, door_side = 1, departure = "10:00:00" } ]
limit = [ { from = 0, speed = 30 } ]
sweep = { brake_scale = [1.0] }
TOML
"$sim" layout far.toml -o old.csv --run-limit 0.1 > /dev/null 2> err.txt
check $? 3 "layout over the run limit"
grep -q "a trial run into station B failed: " err.txt || fail "run limit" "$(head -c 300 err.txt)"
# A line with nothing to search, whose own runs coast on: interrupted, or
# over the run limit, while the written line runs.
cat > coast.toml <<'TOML'
run = { start_speed = 60, start_location = 200, end_location = 20000000, max_duration = 604800 }
dynamics = { decel_by_notch = [0, 0, 0, 0, 0, 0, 0, 0, 0, 0], resistance = 0 }
driver = { mode = "unattended" }
station = [ { name = "S", stop = 200, departure = "00:00:30" } ]
limit = [ { from = 0, speed = 80 } ]
sweep = { seed = [1, 2, 3, 4] }
TOML
"$sim" layout coast.toml -o old.csv > /dev/null 2> err.txt &
pid=$!
sleep 1
kill -INT $pid
wait $pid
check $? 130 "SIGINT while the written line runs"
"$sim" layout coast.toml -o old.csv --run-limit 0.5 > /dev/null 2> err.txt
check $? 3 "the written line over the run limit"
grep -q "a run of the written line (seed 1) failed: ran past" err.txt ||
  fail "written line's run limit" "$(head -c 300 err.txt)"
# Nothing replaced where another output fails.
"$sim" layout two.toml -o old.csv --report /dev/full > /dev/null 2> err.txt
check $? 3 "layout --report /dev/full"
grep -q "cannot write /dev/full: No space left on device" err.txt ||
  fail "layout --report /dev/full" "not the write's own cause: $(head -c 300 err.txt)"
"$sim" layout two.toml -o old.csv > /dev/full 2> err.txt
check $? 3 "layout >/dev/full"
# A pipe as the input and as the output: read once, never reopened.
ran=$((ran + 1))
"$sim" layout /dev/stdin -o laid.toml < two.toml > /dev/null 2> err.txt &&
  "$sim" lint laid.toml 2>> err.txt || fail "pipe in" "$(head -c 300 err.txt)"
"$sim" layout two.toml -o /dev/stdout 2> err.txt | cat > piped.toml
"$sim" lint piped.toml 2>> err.txt && grep -q 'stopping_point = "B"' piped.toml ||
  fail "pipe out" "$(head -c 300 err.txt)"

# An output through a link replaces the file it names and keeps the link;
# a stream (/dev/stdout, to a file or a pipe) is written in place, never replaced.
ran=$((ran + 1))
ln -s linked-target.csv linked.csv
"$sim" run -q --csv linked.csv v.toml > /dev/null
[ -L linked.csv ] && [ -s linked-target.csv ] || fail "link" "the link was replaced or its file not written"
"$sim" run -q --csv /dev/stdout v.toml > streamed.txt
"$sim" run -q --csv /dev/stdout v.toml 2> /dev/null | grep -q '^time_ms,' || fail "stream" "no CSV through a pipe"
[ -L /dev/stdout ] || fail "stream" "/dev/stdout is no longer a link"
grep -q '^time_ms,' streamed.txt || fail "stream" "no CSV in the file"
! grep -q '^station' streamed.txt || fail "stream" "the stop summary mixed into the CSV"

# A sound run writes its outputs whole: they read back.
ran=$((ran + 1))
"$sim" run -q --csv new.csv --record new.log v.toml > /dev/null
[ "$(tail -n 1 new.log)" = "end $(($(wc -l < new.log) - 2))" ] || fail "whole" "the call log's end line"
[ "$(wc -l < new.csv)" -gt 20000 ] || fail "whole" "the CSV is short"

# Call logs: whole, cut short at a line end, with CR LF, to a full output.
"$sim" run -q --record whole.log v.toml > /dev/null
head -n 5000 whole.log > cut.log
sed 's/$/\r/' whole.log > crlf.log
sums=$(md5sum v.toml whole.log cut.log crlf.log)
for row in "0:whole.log" "2:cut.log" "0:crlf.log" "3:whole.log:/dev/full"; do
  IFS=: read -r want log out <<< "$row"
  "$replay" "$log" "$plugin" > "${out:-/dev/null}" 2> err.txt
  check $? "$want" "replay $log ${out:-}"
done
"$replay" cut.log "$plugin" 2>&1 > /dev/null | grep -q "cut.log:5000: cut short: no end line after line 5000" ||
  fail "replay cut.log" "the cut is not named"

echo "hostile: $((ran - failed)) passed, $failed failed"
exit $failed
