#!/usr/bin/env bash
# Makes the demo library BUILD_DIR/demo/demo.twl once: a generated folder tree
# (music with tags, documents, pictures, ZIP archives) scanned as two volumes,
# with a few collections.
# Prints the library's path.
set -euo pipefail

build_dir=${1:?usage: demo-library.sh BUILD_DIR}
demo="$build_dir/demo"
library="$demo/demo.twl"
if [ ! -s "$library" ]; then
  rm -rf "$demo"
  mkdir -p "$demo"
  "$build_dir/make_demo_tree" "$demo/tree" >/dev/null
  # The demo's own settings: the user's handler table and word lists stay out.
  export TARNWEX_CONFIG_DIR="$demo/config" TARNWEX_DATA_DIR="$demo/data"
  "$build_dir/tarnwex-cli" -q add "$library.tmp" "$demo/tree/Music CD" --title "Music CD" \
    --category Music --location "Living room shelf" --apply-folders >/dev/null
  "$build_dir/tarnwex-cli" -q add "$library.tmp" "$demo/tree/Backup DVD" --title "Backup DVD" \
    --category Backup --location "Drawer 1" --comments "Letters, recipes and photos" >/dev/null
  "$build_dir/add_demo_collections" "$library.tmp"
  mv "$library.tmp" "$library"
fi
echo "$library"
