#!/usr/bin/env bash
# ./run bench: what a Collect costs, and what the collector adds to a query of
# Wine's performance-data host.
# - Native (preset bench: Release, no sanitizers, build/bench): Collect with 1, 5
#   and 20 channels against the stand-in queue manager beside the floor of the
#   same work (one 2040-byte record copy per channel and one copy of the
#   object), the status queries of a 20-channel Collect on their own, Open +
#   Collect + Close with 20 channels, heap allocations per Collect. Medians of 5
#   repetitions.
# - Under Wine (the win64 tree, build/win64 or VORTALIS_BENCH_WIN_BUILD, in the
#   prefix build/wineprefix-bench or WINEPREFIX): time per
#   RegQueryValueExA(HKEY_PERFORMANCE_DATA) with the collector installed against
#   a do-nothing provider in its place.
# The last line printed is "collect20_vs_floor=R allocs_per_collect=N".
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

echo "==> building the bench preset (build/bench)"
[ -f build/bench/CMakeCache.txt ] || cmake --preset bench >/dev/null
cmake --build --preset bench -j"$jobs" --target collect_bench >/dev/null

win=${VORTALIS_BENCH_WIN_BUILD:-build/win64}
echo "==> building the Windows programs of the host comparison ($win)"
[ -f "$win/CMakeCache.txt" ] || cmake --preset win64 -B "$win" >/dev/null
cmake --build "$win" -j"$jobs" --target VORTALIS kxcore kxqmdir kxbase kxlinkst qmsim keyplant regtool hostbench \
    nullprov >/dev/null

echo "==> Collect against the floor (native)"
log=$(mktemp /tmp/vortalis-bench.XXXXXX)
trap 'rm -f "$log"' EXIT
build/bench/bench/collect_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_min_time=0.2 --benchmark_color=false | tee "$log"
summary=$(tail -n 1 "$log")
case "$summary" in collect20_vs_floor=*) ;; *) echo "the benchmark did not finish" >&2; exit 1 ;; esac

echo "==> Wine's performance-data host: the collector against a do-nothing provider (200 queries each)"
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix-bench}
bash bench/wine/host_compare.sh "$root/$win/bin" 200

echo "$summary"
