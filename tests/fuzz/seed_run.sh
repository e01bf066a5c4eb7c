#!/usr/bin/env bash
# The test suite's brief fuzz run of one target: every input of its committed
# seed corpus, then RUNS inputs made from them (fixed seed, so a run repeats).
# New inputs go to a scratch folder, never into the committed corpus.
# usage: seed_run.sh FUZZ_TARGET SEED_CORPUS RUNS
set -euo pipefail
target=$1 seeds=$2 runs=$3
[ -d "$seeds" ] && [ -n "$(ls -A "$seeds")" ] || { echo "no seed corpus in $seeds" >&2; exit 1; }
scratch=$(mktemp -d /tmp/vortalis-seedrun.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
mkdir corpus
status=0
"$target" -seed=1 -runs="$runs" -max_len=8192 -print_final_stats=1 -artifact_prefix="$scratch/" \
    "$scratch/corpus" "$seeds" >log 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    cat log
else
    grep -E '^(INFO: seed corpus|#[0-9]+ +DONE|stat::number_of_executed_units)' log || true
fi
found=0
for f in "$scratch"/crash-* "$scratch"/leak-* "$scratch"/timeout-* "$scratch"/oom-*; do
    [ -f "$f" ] || continue
    found=1
    echo "failing input $(basename "$f"):"
    od -A d -t x1 "$f" | head -20
done
[ "$found" -eq 0 ] || exit 1
exit "$status"
