#!/usr/bin/env bash
# Run last: no process of the build's programs is left running by a test
# (a zombie that nobody reaps has ended and is not counted).
# usage: no_process_left.sh BUILD_DIR
left=$(ps -eo pid=,stat=,comm=,args= | grep -F "$1/" |
  awk -v self=$$ '$1 != self && $2 !~ /^Z/ && $3 !~ /^(ctest|bash|grep|ps)$/')
[ -z "$left" ] || { echo "left running:"; echo "$left"; exit 1; }
