#!/usr/bin/env bash
# corvane-replay's plug-in: a bare name is a file in the current folder, and
# a library that cannot be used is refused, status 2, with the reason.
# usage: plugin_reasons.sh REPLAY LOG PLUGIN LIBRARY_WITH_LOAD_ONLY
set -u
replay=$(realpath "$1") log=$(realpath "$2") plugin=$(realpath "$3") loadonly=$(realpath "$4")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
cp "$plugin" own.so
cp "$log" text.so
failed=0
"$replay" "$log" own.so > /dev/null || { echo "FAIL: own.so in the current folder"; failed=1; }
while IFS='|' read -r library reason; do
  "$replay" "$log" "$library" > /dev/null 2> err.txt
  status=$?
  if [ $status -ne 2 ] || ! grep -q -- "$reason" err.txt; then
    echo "FAIL: $library: status $status, $(cat err.txt)"
    failed=1
  fi
done <<ROWS
missing.so|: cannot load the plug-in missing.so: No such file or directory$
text.so|: cannot load the plug-in text.so: not a loadable library: ./text.so: .
$loadonly|: cannot load the plug-in $loadonly: the library lacks the export Dispose$
ROWS
exit $failed
