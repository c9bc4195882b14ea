#!/bin/sh
# corvane-sim's --help, then each subcommand's under a heading of its own,
# as help2man reads one program's help: the man page's text is --help's.
# usage: CORVANE_SIM=path/to/corvane-sim man_help.sh --help
set -e
[ "$1" = --help ] || exit 1
"$CORVANE_SIM" --help
for command in $("$CORVANE_SIM" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z]*\) .*/\1/p'); do
  printf '\n*corvane-sim %s*\n\n' "$command"
  "$CORVANE_SIM" "$command" --help | sed -e 's/^/  /' -e '1G'
done
