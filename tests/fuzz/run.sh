#!/usr/bin/env bash
# Fuzzes every target for SECONDS each (./run fuzz SECONDS): builds the fuzz
# preset (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build/fuzz, then runs each target from its committed seed corpus and the
# inputs that earlier runs found (build/fuzz/corpus/<target>, kept between
# runs). A failing input lands in build/fuzz/artifacts/<target>/; the run then
# ends non-zero. One summary line per target.
# usage: tests/fuzz/run.sh SECONDS
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-}
case "$seconds" in
    '' | *[!0-9]* | 0) echo "usage: tests/fuzz/run.sh SECONDS" >&2; exit 2 ;;
esac
build=build/fuzz
[ -f "$build/CMakeCache.txt" ] || cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" >/dev/null

failed=0
for source in tests/fuzz/*_fuzz.cpp; do
    target=$(basename "$source" _fuzz.cpp)
    corpus="$PWD/$build/corpus/$target"
    artifacts="$PWD/$build/artifacts/$target"
    mkdir -p "$corpus" "$artifacts"
    log="$PWD/$build/fuzz-$target.log"
    status=0
    "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=8192 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$corpus" "$PWD/tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    if [ "$status" -eq 0 ]; then
        echo "fuzz $target: ok, ${runs:-0} inputs in ${seconds}s, coverage ${cov:-?}, corpus $(ls "$corpus" | wc -l) inputs"
    else
        failed=$((failed + 1))
        echo "fuzz $target: FAILED (status $status), see $log; failing inputs in $artifacts"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz check failed)' "$log" | head -n 5 | sed 's/^/    /'
    fi
done
[ "$failed" -eq 0 ]
