#!/usr/bin/env bash
# ./run soak [COLLECTS]: the long soak (default a million Collects) from the
# Release build of preset bench: channels restarting, removed and added between
# opens while traffic runs; no counter torn, heap, open files and mappings of
# the queue manager's files the same after the last cycle as after the first.
# The test suite runs the same test with 20000 Collects.
set -euo pipefail
cd "$(dirname "$0")/.."
collects=${1:-1000000}
[ -f build/bench/CMakeCache.txt ] || cmake --preset bench >/dev/null
cmake --build --preset bench -j"$(nproc)" --target collector_soak >/dev/null
log=$(mktemp /tmp/vortalis-soak.XXXXXX)
trap 'rm -f "$log"' EXIT
status=0
GLIBC_TUNABLES=glibc.malloc.tcache_count=0 VORTALIS_SOAK_COLLECTS=$collects build/bench/tests/native/collector/collector_soak --gtest_color=no >"$log" 2>&1 ||
    status=$?
grep -E '^soak:' "$log" || true
[ "$status" -eq 0 ] && echo "soak passed" || { cat "$log"; echo "soak FAILED"; }
exit "$status"
