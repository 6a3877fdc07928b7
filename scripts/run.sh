#!/usr/bin/env bash
# `make run`: the desktop program on the demo library; without a display, the
# command-line demonstration instead.
set -euo pipefail

build_dir=${1:?usage: run.sh BUILD_DIR}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running the command-line demonstration instead."
  exec bash "$(dirname "$0")/cli-demo.sh" "$build_dir"
fi
library=$(bash "$(dirname "$0")/demo-library.sh" "$build_dir")
echo "Starting tarnwex on $library"
exec "$build_dir/tarnwex" "$library"
