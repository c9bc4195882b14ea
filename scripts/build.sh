#!/usr/bin/env bash
# Builds both targets from the project root: the Windows DLL in build/mingw
# (cross-compiled) and the native library, tests and tools in build/native.
# Extra arguments go to the native configure step, e.g. -DCORVANE_SANITIZE=ON.
set -euo pipefail
cd "$(dirname "$0")/.."

generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi

cmake -S . -B build/mingw "${generator[@]}" \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build/mingw

# The charting library that the report page inlines, pinned by the lock file.
(cd report && npm ci --no-audit --no-fund --loglevel=error)

cmake -S . -B build/native "${generator[@]}" -DCORVANE_DLL_DIR="$PWD/build/mingw" "$@"
cmake --build build/native
