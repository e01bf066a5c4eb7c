# A consumer that makes no last close, tracing on, and either unloads
# VORTALIS.DLL or ends with it loaded: the process ends normally, and the trace
# lines of its Collects, still in the collector's buffer, reach c:\vortalis.trc.
# usage: unload.sh COLLECTLOOP.EXE KEYPLANT.EXE QMSIM.EXE REGTOOL.EXE
source "$(dirname "$0")/../lib.sh"
collectloop=$1 keyplant=$2 qmsim=$3 regtool=$4
params='System\CurrentControlSet\Services\VORTALIS\Parameters'
perf='System\CurrentControlSet\Services\VORTALIS\Performance'

state=$(mktemp -d /tmp/vortalis-unload.XXXXXX)
trace="$WINEPREFIX/drive_c/vortalis.trc"
trap 'wine "$regtool" set "$params" DebugLevel 4 00000000 >/dev/null 2>&1; rm -rf "$state" "$trace"' EXIT
export KXQM_INI="Z:${state//\//\\}\\kxqm.ini"
qmsim_two_channels "$qmsim"
wrun "$keyplant" >/dev/null
wrun "$regtool" set "$perf" "First Counter" 4 E6000000
wrun "$regtool" set "$perf" "First Help" 4 E7000000
wrun "$regtool" set "$params" DebugLevel 4 01000000

for how in unload leave; do
    rm -f "$trace"
    status=0
    out=$(wrun "$collectloop" 3 0 $how) || status=$?
    freed=$([ $how = unload ] && echo 1 || echo 0)
    expect_eq "$out" "open=0 collects=3 returned=3 failed=0 close=none freed=$freed" "$how: three Collects, no close"
    expect_eq "$status" 0 "$how: the process ends normally"
    [ -f "$trace" ] || fail "$how: no trace file"
    expect_eq "$(tr -d '\r' <"$trace" | grep -c '^Leaving Collect$')" 3 "$how: every Collect's trace lines reached the file"
done
