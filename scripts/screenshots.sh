#!/usr/bin/env bash
# `make screenshots`: the windows rendered on the demo library with the
# offscreen platform into BUILD_DIR/screenshots/*.png.
set -euo pipefail

build_dir=${1:?usage: screenshots.sh BUILD_DIR}
library=$(bash "$(dirname "$0")/demo-library.sh" "$build_dir")
out="$build_dir/screenshots"
rm -rf "$out" "$build_dir/demo/shot-config" "$build_dir/demo/shot-data"
mkdir -p "$out"
TARNWEX_CONFIG_DIR="$build_dir/demo/shot-config" TARNWEX_DATA_DIR="$build_dir/demo/shot-data" \
  QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="qt.qpa.*=false" \
  "$build_dir/tarnwex-screenshots" "$out" "$library"
