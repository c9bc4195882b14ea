#!/usr/bin/env bash
# Checks of the Windows DLL: its exports under wine, its import table, and
# call logs replayed through the DLL under wine and the native library alike.
set -euo pipefail
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/tessaly-corvane-wine}"

# Some kernels cannot execute 32-bit programs at all; the checks under wine
# are then reported as skipped (77), never as passed.
require_wine32() {
  local out
  if ! out=$(timeout 60 wine --version 2>&1); then
    echo "skipped: this machine cannot run 32-bit wine: $out"
    exit 77
  fi
}

case "$1" in
  abi)
    require_wine32
    wine "$2" "$3"
    ;;
  imports)
    imports=$(i686-w64-mingw32-objdump -p "$2" | awk '/DLL Name:/ {print $3}' | sort -u)
    echo "imports: $(echo $imports)"
    objdump_magic=$(i686-w64-mingw32-objdump -p "$2" | awk '/^Magic/ {print $2}')
    [ "$objdump_magic" = "010b" ] || { echo "not PE32 (magic $objdump_magic)"; exit 1; }
    for dll in $imports; do
      case "${dll,,}" in
        kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll|ntdll.dll|api-ms-win-*) ;;
        *) echo "non-system import: $dll"; exit 1 ;;
      esac
    done
    ;;
  replay)
    sim=$2 scenario=$3 nativereplay=$4 so=$5 winreplay=$6 dll=$7
    require_wine32
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    case "$scenario" in
      *.toml) "$sim" run --quiet --record "$work/calls.log" "$scenario" > /dev/null ;;
      *) cp "$scenario" "$work/calls.log" ;;
    esac
    "$nativereplay" "$work/calls.log" "$so" > "$work/native.txt"
    wine "$winreplay" "$work/calls.log" "$dll" | tr -d '\r' > "$work/dll.txt"
    if ! cmp -s "$work/native.txt" "$work/dll.txt"; then
      line=$(cmp "$work/native.txt" "$work/dll.txt" | awk '{print $NF}' | head -1)
      echo "the DLL and the native library differ at call $line of $(basename "$scenario"):"
      echo "call: $(sed -n "$((line + 1))p" "$work/calls.log")"
      echo "--- native"; sed -n "$((line > 3 ? line - 3 : 1)),$((line + 3))p" "$work/native.txt"
      echo "--- DLL";    sed -n "$((line > 3 ? line - 3 : 1)),$((line + 3))p" "$work/dll.txt"
      exit 1
    fi
    echo "$(basename "$scenario"): $(wc -l < "$work/native.txt") calls replayed identically"
    ;;
  *)
    echo "usage: wine_check.sh abi|imports|replay ..." >&2; exit 2
    ;;
esac
