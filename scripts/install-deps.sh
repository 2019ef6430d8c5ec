#!/usr/bin/env bash
# Installs everything travix needs to build, run and test on Debian 12, from Debian's packages and npm.
# Safe to run again: apt and npm skip what is already there.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  # libraries
  qt6-base-dev libgl-dev libicu-dev libchm-dev libgtest-dev libgmock-dev nlohmann-json3-dev
  # tests: nlohmann-json also reads what mdb-reader prints; a German locale for the decimal-comma test
  locales
  # the Debian package and its check: dpkg-shlibdeps, the desktop entry, AppStream and MIME checkers
  dpkg-dev desktop-file-utils appstream shared-mime-info
  # test oracles and tools: mdbtools reads our Jet files, chmcmd compiles the test help file
  mdbtools fp-utils-3.2.2
  # the crash test kills travix-cli at chosen system calls
  strace
  # the clone test and the apply bench make a reflink XFS file system in a loop-mounted image; the
  # clone test reads the shared extents with filefrag
  xfsprogs e2fsprogs
  # a display for running the window by hand
  xvfb xauth
  # the Windows build: MinGW-w64 cross compiler, GoogleTest's sources to build with it, and Wine to
  # run its tests
  g++-mingw-w64-x86-64-posix googletest wine64
)
# Node.js may come from elsewhere than Debian (with its own npm, which conflicts with Debian's npm
# package): install Debian's only where there is none.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${packages[@]}"

# The number reading test runs under de_DE.UTF-8, which a fresh system has not generated.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen
fi

# mdb-reader, the second independent Jet reader, driven by a small Node script in tests/oracles.
(cd tests/oracles && npm ci --no-audit --no-fund --loglevel=error)
