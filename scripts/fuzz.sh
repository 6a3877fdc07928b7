#!/usr/bin/env bash
# Runs each libFuzzer target of FUZZ_BUILD_DIR/fuzz (built by `make fuzz`) for
# SECONDS. Seeds are written at run time into FUZZ_BUILD_DIR/fuzz-seeds; the
# growing corpus stays in FUZZ_BUILD_DIR/fuzz-corpus; reproducers and logs go to
# $TARNWEX_FUZZ_DIR, else $TMPDIR/tarnwex-fuzz, outside the repository.
# Exits non-zero when a target finds a crash, a leak, a hang or undefined behaviour.
set -uo pipefail

usage="usage: fuzz.sh FUZZ_BUILD_DIR SECONDS"
build_dir=${1:?$usage}
seconds=${2:?$usage}
fuzz_bin="$build_dir/fuzz"
seeds="$build_dir/fuzz-seeds"
corpus_root="$build_dir/fuzz-corpus"
findings_root="${TARNWEX_FUZZ_DIR:-${TMPDIR:-/tmp}/tarnwex-fuzz}"

# Undefined behaviour is a finding, not a warning.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

rm -rf "$seeds"
if ! "$fuzz_bin/make_fuzz_seeds" "$seeds"; then
  echo "fuzz.sh: could not write the seed corpus" >&2
  exit 1
fi

# Real files made by other programs seed the readers (small ones only).
fixtures="$(cd "$(dirname "$0")/.." && pwd)/../shared/fixtures"
audio="$fixtures/audio"
seed_from() {
  local folder=$1 target=$2; shift 2
  mkdir -p "$seeds/$target"
  for pattern in "$@"; do
    find "$folder" -maxdepth 1 -type f -name "$pattern" -size -100k -exec cp {} "$seeds/$target/" \;
  done
}
seed_audio() { seed_from "$audio" "$@"; }
if [ -d "$fixtures/archives/rar" ]; then
  seed_from "$fixtures/archives/rar" fuzz_rar '*.rar' '*.exe'
fi
if [ -d "$fixtures/archives/zip" ]; then
  seed_from "$fixtures/archives/zip" fuzz_zip '*.zip' '*.jar' 'test_read_format_zip_sfx'
fi
if [ -d "$audio" ]; then
  seed_audio fuzz_id3v1 '*.mp3'
  seed_audio fuzz_id3v2 '*.mp3' '*.id3'
  seed_audio fuzz_mpeg '*.mp3'
  seed_audio fuzz_ogg '*.ogg'
  seed_audio fuzz_flac '*.flac'
  seed_audio fuzz_apetag '*.apev2' '*.ape' '*.mpc'
  seed_audio fuzz_wma '*.wma'
  seed_audio fuzz_wav '*.wav'
  seed_audio fuzz_wavpack '*.wv'
  seed_audio fuzz_aac '*.aac'
  seed_audio fuzz_optimfrog '*.ofr' '*.ofs'
fi

# The encoder-made files of the tests, which the clone always has.
data="$(cd "$(dirname "$0")/.." && pwd)/tests/data"
seed_from "$data" fuzz_aac '*.aac'
seed_from "$data" fuzz_wav '*.wav'
seed_from "$data" fuzz_ogg '*.ogg'
seed_from "$data" fuzz_mpeg '*.mp3'
seed_from "$data" fuzz_id3v2 '*.mp3'
seed_from "$data" fuzz_wma '*.wma'
seed_from "$data" fuzz_wavpack '*.wv'
seed_from "$data" fuzz_apetag '*.wv'
seed_from "$data" fuzz_flac '*.flac'
# The shipped languages seed the language file reader.
seed_from "$(dirname "$data")/../languages" fuzz_language '*.bab'

targets=()
for f in "$fuzz_bin"/fuzz_*; do
  # FUZZ_TARGETS="fuzz_aac fuzz_wav" runs only those.
  if [ -n "${FUZZ_TARGETS:-}" ] && [[ " $FUZZ_TARGETS " != *" $(basename "$f") "* ]]; then continue; fi
  [ -f "$f" ] && [ -x "$f" ] && targets+=("$f")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz.sh: no fuzz targets in $fuzz_bin (build them first: make fuzz)" >&2
  exit 1
fi

failed=()
for target in "${targets[@]}"; do
  name=$(basename "$target")
  corpus="$corpus_root/$name"
  findings="$findings_root/$name"
  log="$findings_root/$name.log"
  mkdir -p "$corpus" "$findings" "$seeds/$name"
  echo "== $name for ${seconds}s (corpus $corpus, findings $findings)"
  extra=()
  # Inputs past 14000 bytes reach the self-extracting archive path.
  [ "$name" = fuzz_zip ] && extra=(-max_len=70000)
  "$target" "$corpus" "$seeds/$name" "${extra[@]}" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 \
    -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1
  status=$?
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" | sed 's/^/   /'
  if [ $status -ne 0 ]; then
    failed+=("$name")
    echo "   FOUND a problem (exit $status); log: $log"
    grep -E 'Test unit written to' "$log" | sed 's/^/   /'
    # The report and the top of its stack; the whole trace is in the log.
    awk '/ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:/ { n = 12 } n-- > 0' "$log" |
      sed -n '1,12p' | sed 's/^/   /'
    echo "   reproduce: $target <reproducer file>"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: findings in: ${failed[*]}"
  exit 1
fi
echo "fuzz.sh: no findings."
