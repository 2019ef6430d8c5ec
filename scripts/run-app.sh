#!/usr/bin/env bash
# Builds travix and starts the window. Without a display, it starts one with Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release --target travix travix-cli
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a ./build/release/app/travix "$@"
fi
exec ./build/release/app/travix "$@"
