# Several processes with tracing on collect at the same time, while traffic
# runs: some through Wine's performance-data host (which loads and unloads the
# collector for every query), some loading VORTALIS.DLL themselves and
# collecting many times in one open. None may fail, and every trace line of
# every process must reach c:\vortalis.trc whole: each line of the file is one
# of the collector's trace lines or a dump row, and each kind of line is there
# as many times as the processes wrote it.
# usage: concurrent.sh PERFHOST.EXE COLLECTLOOP.EXE KEYPLANT.EXE QMSIM.EXE REGTOOL.EXE
source "$(dirname "$0")/../lib.sh"
perfhost=$1 collectloop=$2 keyplant=$3 qmsim=$4 regtool=$5
params='System\CurrentControlSet\Services\VORTALIS\Parameters'
perf='System\CurrentControlSet\Services\VORTALIS\Performance'
hosts=3 queries=8 loops=3 collects=150 channels=3

state=$(mktemp -d /tmp/vortalis-concurrent.XXXXXX)
trace="$WINEPREFIX/drive_c/vortalis.trc"
# Tracing off again and the trace file gone, however the test ends.
trap 'wine "$regtool" set "$params" DebugLevel 4 00000000 >/dev/null 2>&1; rm -rf "$state" "$trace"' EXIT
export KXQM_INI="Z:${state//\//\\}\\kxqm.ini"

q() { wrun "$qmsim" "$@" >/dev/null || fail "qmsim $*"; }
q init
q create QM1 --default
for i in $(seq 1 $channels); do q channel QM1 "CH$i" --type SDR --conname "host$i.example"; done
wrun "$keyplant" >/dev/null
wrun "$regtool" set "$perf" "First Counter" 4 E6000000
wrun "$regtool" set "$perf" "First Help" 4 E7000000
wrun "$regtool" set "$params" DebugLevel 4 01000000
rm -f "$trace"

q traffic QM1 --seconds 5 --rate 500 &
traffic=$!
pids=()
for i in $(seq 1 $hosts); do
    wrun "$perfhost" Global $queries 20 >"$state/host$i.out" & pids+=($!)
    wrun "$collectloop" $collects 5 >"$state/loop$i.out" & pids+=($!)
done
failed=0
for p in "${pids[@]}"; do wait "$p" || failed=$((failed + 1)); done
wait "$traffic" || fail "qmsim traffic"
[ "$failed" -eq 0 ] || { cat "$state"/*.out >&2; fail "$failed of the collecting processes failed"; }

for i in $(seq 1 $hosts); do
    out=$(cat "$state/host$i.out")
    [ "$(grep -c '^query [0-9]* rc=0$' <<<"$out")" -eq $queries ] || fail "host process $i: $out"
    [ "$(grep -c '^objects=1$' <<<"$out")" -eq $queries ] || fail "host process $i: an object missing: $out"
    expect_eq "$(cat "$state/loop$i.out")" "open=0 collects=$collects returned=$collects failed=0 close=0" \
        "direct process $i collected $collects times"
done
echo "ok - $((2 * hosts)) processes collected at the same time, none failed"

[ -f "$trace" ] || fail "no trace file"
[ "$(grep -c $'\r$' "$trace")" -eq "$(wc -l <"$trace")" ] || fail "a line of the trace file ends without CR LF"
lines=$(tr -d '\r' <"$trace")
# The collector's trace lines, as patterns; %p is an address in hex digits.
patterns=$(cat <<'PAT'
^size of (PERF_OBJECT_TYPE|PERF_COUNTER_DEFINITION|PERF_INSTANCE_DEFINITION|PERF_COUNTER_BLOCK|counters)=[0-9]+$
^total size of PERF_COUNTER_DEFs=[0-9]+$
^rc from GetChlHdls = [0-9a-f]+$
^>>>>> QMgr Name is ''<<<<<$
^got [0-9]+ channel handles$
^First Counter is [0-9]+$
^(pPerfObj is|pPerfCounter start at|pPerfCounter is|pPerfInstance start at|pPerfInstance is|pCharPtr at end of object at) [0-9A-Fa-fx]+$
^Total (object|def) size is [0-9]+$
^(entering COLLECT|initialisation OK|query OK|item exists|enough space in callers buffer|got status information|Leaving Collect)$
^in COLLECT and pPerfInst = [0-9A-Fa-fx]+$
^size of perfinst = 88$
^char ptr at counters = [0-9A-Fa-fx]+$
^(DeltaTime in msecs|SavedBytesSent|NumBytesdSent|BytesSent/sec|BytesRecvd/sec|NumMsgs/sec)=-?[0-9]+$
^([ 0-9A-F][0-9A-F]){1,20}  [ -~]{0,20}$
^$
PAT
)
broken=$(grep -n -Ev -f <(echo "$patterns") <<<"$lines" | head -n 1 | cut -d: -f1 || true)
[ -z "$broken" ] || fail "trace lines not whole, for example line $broken among:
$(sed -n "$((broken > 3 ? broken - 3 : 1)),$((broken + 3))p" <<<"$lines")"
echo "ok - every line of the trace file is a whole trace line or dump row"

# Each kind of line as often as the processes wrote it: one set-up per host
# query and per direct process, one Collect per host query and $collects per
# direct process, one status query per channel per Collect.
setups=$((hosts * queries + hosts))
total_collects=$((hosts * queries + hosts * collects))
count() { grep -c -E "$1" <<<"$lines" || true; }
expect_eq "$(count '^got [0-9]+ channel handles$')" "$setups" "every set-up's lines are there"
expect_eq "$(count '^Total object size is [0-9]+$')" "$setups" "every object build's lines are there"
expect_eq "$(count '^entering COLLECT$')" "$total_collects" "every Collect's first line is there"
expect_eq "$(count '^Leaving Collect$')" "$total_collects" "every Collect's last line is there"
expect_eq "$(count '^got status information$')" "$((total_collects * channels))" "every status query's line is there"
