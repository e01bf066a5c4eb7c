#!/usr/bin/env bash
# Times Wine's performance-data host per query with the collector installed
# (20 channels of the stand-in queue manager), then with a provider that does
# nothing in its place, each once loaded by the host for every query and once
# kept loaded by the consumer. Prints the four times and their ratios; the last
# line is "host_vs_nothing=R host_kept_vs_nothing=R".
# usage: host_compare.sh BIN_DIR QUERIES   (WINEPREFIX: the prefix to use)
source "$(dirname "$0")/../../tests/wine/lib.sh"
bin=$1 queries=$2
perf='System\CurrentControlSet\Services\VORTALIS\Performance'

state=$(mktemp -d /tmp/vortalis-hostbench.XXXXXX)
# The collector back in its place, however the run ends.
trap 'wine "$bin/keyplant.exe" >/dev/null 2>&1; rm -rf "$state"' EXIT
export KXQM_INI="Z:${state//\//\\}\\kxqm.ini"

q() { wrun "$bin/qmsim.exe" "$@" >/dev/null || fail "qmsim $*"; }
# REG_SZ data: the text and its zero byte, in hex.
sz() { printf '%s' "$1" | od -A n -t x1 | tr -d ' \n'; printf '00'; }
reg() { wrun "$bin/regtool.exe" set "$perf" "$1" "$2" "$3" >/dev/null || fail "regtool set $1"; }

q init
q create QM1 --default
for i in $(seq 1 20); do q channel QM1 "CH$i" --type SDR --conname "host$i.example"; done
q traffic QM1 --seconds 1 --rate 100
wrun "$bin/keyplant.exe" >/dev/null || fail keyplant
reg "First Counter" 4 E6000000
reg "First Help" 4 E7000000

# run NAME [DLL]: microseconds per query, after checking every query succeeded.
run() {
    local out
    out=$(wrun "$bin/hostbench.exe" Global "$queries" "$@") || fail "hostbench $*: $out"
    echo "$out" >&2
    echo "$out" | sed -n 's/.* objects=\([0-9]*\) us_per_query=\([0-9.]*\)$/\1 \2/p'
}

read -r objects collector <<<"$(run)"
[ "$objects" = 1 ] || fail "the collector's object did not come back"
read -r objects collector_kept <<<"$(run VORTALIS.DLL)"
[ "$objects" = 1 ] || fail "the collector's object did not come back while kept loaded"

reg Library 1 "$(sz nullprov.dll)"
reg Open 1 "$(sz NullOpen)"
reg Collect 1 "$(sz NullCollect)"
reg Close 1 "$(sz NullClose)"
read -r objects nothing <<<"$(run)"
[ "$objects" = 0 ] || fail "the do-nothing provider returned an object"
read -r objects nothing_kept <<<"$(run nullprov.dll)"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
echo "host query, provider loaded per query: collector $collector us, do-nothing $nothing us, ratio $(ratio "$collector" "$nothing")"
echo "host query, provider kept loaded:      collector $collector_kept us, do-nothing $nothing_kept us, ratio $(ratio "$collector_kept" "$nothing_kept")"
echo "host_vs_nothing=$(ratio "$collector" "$nothing") host_kept_vs_nothing=$(ratio "$collector_kept" "$nothing_kept")"
