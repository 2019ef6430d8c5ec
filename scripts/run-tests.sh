#!/usr/bin/env bash
# Builds and runs every test: the sanitizer build (with a short fuzz run) first, then the release build.
# The last lines are CTest's summary of the release run.
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2

cmake --preset release >/dev/null
cmake --build --preset release
ctest --preset release -j2
