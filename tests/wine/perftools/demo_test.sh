# The demo's steps, short: installed as on Windows, loaded, named, fed, watched.
# usage: demo_test.sh win64|win32 BIN_DIR
source "$(dirname "$0")/../lib.sh"
arch=$1 bin=$2
demo="$REPO/demo/demo.sh"
state=$(mktemp -d /tmp/vortalis-demo.XXXXXX)
cleanup() {
    bash "$demo" remove "$arch" "$state" || true
    rm -rf "$state"
}
trap cleanup EXIT

out=$(bash "$demo" "$arch" "$bin" "$state" 3 0.5 2>&1) || fail "the demo failed: $out"
sysdir=$([ "$arch" = win64 ] && echo system32 || echo syswow64)
[ -f "$WINEPREFIX/drive_c/windows/$sysdir/VORTALIS.dll" ] || fail "VORTALIS.dll is not in $sysdir"
echo "ok - VORTALIS.dll installed in $sysdir"
for line in "New key HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VORTALIS\\Performance added to registry" \
            "Loaded the counter texts of VORTALIS: counters " \
            "Set HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\VORTALIS\\Parameters\\QMName to QM1" \
            "Queue Manager Channels (object "; do
    printf '%s\n' "$out" | grep -qF "$line" || fail "the demo's output lacks '$line': $out"
    echo "ok - ${line%% *} ..."
done
expect_eq "$(printf '%s\n' "$out" | grep -c ' sample [0-9]: 5 instances$')" 3 "three samples of the five channels"
for type in SDR RCVR SRVR RQSTR CLNT; do
    counts=$(printf '%s\n' "$out" | awk -v t="$type:" 'index($1, t) == 1 { print $2 }' | tr '\n' ' ')
    read -r first _ last <<<"$counts"
    [ "$last" -gt "$first" ] || fail "$type: messages do not grow: $counts"
    rates=$(printf '%s\n' "$out" | awk -v t="$type:" 'index($1, t) == 1 { r = $14 " " $15 " " $16 } END { print r }')
    read -r sent received messages <<<"$rates"
    [ "$sent" -gt 0 ] && [ "$received" -gt 0 ] && [ "$messages" -gt 0 ] || fail "$type: rates stay 0: $rates"
    echo "ok - $type: messages $counts, rates $rates"
done
