#!/usr/bin/env bash
# Builds and runs every test: the sanitizer build (with a short fuzz run) first, then the Windows
# build with its tests under Wine, then the release build, which also compares the Windows
# travix-cli.exe with the Linux one. The last lines are CTest's summary of the release run.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2

cmake --preset windows >/dev/null
cmake --build --preset windows
# One at a time: tests read the files in tests/data in place, and on Windows an exclusive open keeps
# out every other reader, another test's copy of the same file included.
ctest --preset windows

cmake --preset release >/dev/null
cmake --build --preset release
ctest --preset release -j2
