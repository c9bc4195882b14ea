#!/usr/bin/env bash
# Installs what a clean Debian machine lacks to build and test everything:
# the native toolchain and libraries, the MinGW-w64 cross compiler, a
# 32-bit wine to run the Windows build, and help2man and man for the man page.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev libtomlplusplus-dev libfmt-dev nlohmann-json3-dev chromium
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 wine64 qemu-user-static binfmt-support
  help2man man-db
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: every package is installed"
else
  echo "install-deps: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The report page's charting library and browser tests come from npm.
if ! command -v npm >/dev/null; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends nodejs npm
fi

# Some kernels are built without 32-bit program support, and 32-bit wine
# cannot start there. Running 32-bit programs through qemu's user-mode
# emulator works instead (slowly); wine64's native wineserver serves them.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e $binfmt/register ] || $SUDO mount -t binfmt_misc binfmt_misc $binfmt
  if [ ! -e $binfmt/qemu-i386 ]; then
    echo "install-deps: running 32-bit programs through qemu-i386"
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" | $SUDO tee $binfmt/register >/dev/null
  fi
  /usr/lib/wine/wine --version
fi
