#!/usr/bin/env bash
# Runs every benchmark binary of BUILD_DIR/bench (built beforehand by `make bench`).
# Generated data goes to $TARNWEX_BENCH_DIR, else $TMPDIR/tarnwex-bench, and is
# reused by later runs. Exits non-zero when any benchmark fails or is over a limit.
set -uo pipefail

build_dir=${1:?usage: bench.sh BUILD_DIR}
bench_dir="$build_dir/bench"
export TARNWEX_BENCH_DIR="${TARNWEX_BENCH_DIR:-${TMPDIR:-/tmp}/tarnwex-bench}"

benchmarks=()
for f in "$bench_dir"/bench_*; do
  [ -f "$f" ] && [ -x "$f" ] && benchmarks+=("$f")
done
if [ ${#benchmarks[@]} -eq 0 ]; then
  echo "bench.sh: no benchmark binaries in $bench_dir (build them first: make bench)" >&2
  exit 1
fi

echo "Benchmark data: $TARNWEX_BENCH_DIR"
failed=()
for b in "${benchmarks[@]}"; do
  name=$(basename "$b")
  echo "== $name"
  if ! "$b"; then failed+=("$name"); fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All benchmarks passed."
