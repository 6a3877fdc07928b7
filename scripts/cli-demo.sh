#!/usr/bin/env bash
# The command-line demonstration (what `make run` shows without a display): the tool
# on libraries made in a temporary folder, which is removed at the end.
set -euo pipefail

build_dir=${1:?usage: cli-demo.sh BUILD_DIR}
cli="$build_dir/tarnwex-cli"
generator="$build_dir/bench/bench_library"
[ -x "$cli" ] || { echo "cli-demo.sh: $cli is missing (run make build)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwex-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Keep the user's own settings and word lists out of the demonstration.
export TARNWEX_DATA_DIR="$work/data" TARNWEX_CONFIG_DIR="$work/config"

if [ -t 1 ]; then bold=$'\033[1m' plain=$'\033[0m'; else bold= plain=; fi
step() { printf '\n%s== %s%s\n' "$bold" "$*" "$plain"; }
# Prints the command as typed (paths shortened), then runs it.
show() {
  local line="\$" a
  for a in "$@"; do
    a=${a#"$work/"}; a=${a#"$build_dir/"}
    case $a in *[[:space:]\\]*) a="'$a'" ;; esac
    line+=" $a"
  done
  printf '%s\n' "$line"
  "$@"
}

step "new: create an empty library file"
show "$cli" new "$work/empty.twl"
echo "($(stat -c %s "$work/empty.twl") bytes: the header and nothing else)"

step "info: header, statistics and volumes of a library"
show "$cli" info -q "$work/empty.twl"

if [ -x "$generator" ]; then
  # The benchmark generator makes a larger sample catalogue of 20 volumes.
  "$generator" generate "$work" 2000 >/dev/null
  mv "$work/lib2000.twl" "$work/sample.twl"
  sample="$work/sample.twl"

  step "info on a sample catalogue (20 volumes, 2000 files)"
  show "$cli" info "$sample"

  step "ls: the volumes of a library"
  show "$cli" ls -q "$sample"

  music=$("$cli" ls -q "$sample" 'Music 01\' | awk -F'\t' '$1 == "D" { print $4; exit }')
  step "ls with a library path: the entries of a folder, with their tags"
  show "$cli" ls -q "$sample" "Music 01\\$music\\" | sed -n '1,24p'
  echo "..."
else
  sample="$work/empty.twl"
fi

step "resave: open a library and save it under another name"
show "$cli" resave "$sample" "$work/copy.twl"
if cmp -s "$sample" "$work/copy.twl"; then echo "(the copy is byte for byte the same file)"; fi

step "merge: import other libraries into a library and save it"
cp "$work/empty.twl" "$work/merged.twl"
show "$cli" merge "$work/merged.twl" "$sample" "$work/copy.twl"
show "$cli" info -q "$work/merged.twl" | sed -n '1,9p'

step "add: scan a folder into a new volume"
medium="$work/medium"
mkdir -p "$medium/Music/Album" "$medium/Photos"
printf 'track one\n' > "$medium/Music/Album/01 Intro.txt"
printf 'a longer second track\n' > "$medium/Music/Album/02 Song.txt"
printf 'holiday\n' > "$medium/Photos/beach.txt"
show "$cli" add "$work/scanned.twl" "$medium" --title 'Disc 1' --category Demo --apply-files
show "$cli" ls -q "$work/scanned.twl" 'Disc 1\Music\Album\'

step "update: the medium changed; bring the volume up to date"
rm "$medium/Photos/beach.txt"
printf 'new\n' > "$medium/Photos/city.txt"
show "$cli" update "$work/scanned.twl" 'Disc 1\' "$medium" --delete-missing
show "$cli" ls -q "$work/scanned.twl" 'Disc 1\Photos\'

step "du: sizes of the library, the volume and a folder"
show "$cli" du "$work/scanned.twl" 'Disc 1\Music\'

step "done; the temporary folder is removed"
