# The stand-in queue manager under Wine: the DLLs' exports and imports, qmsim.exe's
# commands and refusals, and kxprobe.exe calling the DLLs from other processes.
# Arguments: qmsim.exe, kxprobe.exe, the cross objdump.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
QMSIM=$1 PROBE=$2 OBJDUMP=$3
BIN=$(dirname "$QMSIM")

exports() { "$OBJDUMP" -p "$1" | awk '/\[Ordinal\/Name Pointer\] Table/ {f=1; next} f && NF == 0 {f=0} f {print $NF}' | sort | xargs; }
imports() { "$OBJDUMP" -p "$1" | awk '/DLL Name:/ {print $3}' | sort | xargs; }
expect_eq "$(exports "$BIN/kxcore.dll")" "KXCONN" "kxcore.dll exports"
expect_eq "$(exports "$BIN/kxqmdir.dll")" "lpiObtainQMDetails" "kxqmdir.dll exports"
expect_eq "$(exports "$BIN/kxbase.dll")" "xcsIC_SYSTEM_SUBPOOL xcsInitialize" "kxbase.dll exports"
expect_eq "$(exports "$BIN/kxlinkst.dll")" \
    "rrxAccessStatusEntry rrxGetNextStatusEntry rrxQueryStatusEntry rrxReleaseStatusEntry" "kxlinkst.dll exports"
for dll in kxcore kxqmdir kxbase kxlinkst; do
    expect_eq "$(imports "$BIN/$dll.dll")" "KERNEL32.dll msvcrt.dll" "$dll.dll imports only Windows' DLLs"
done
expect_eq "$(imports "$PROBE")" "KERNEL32.dll kxbase.dll kxcore.dll kxlinkst.dll kxqmdir.dll msvcrt.dll" \
    "kxprobe.exe imports the four DLLs"

tmp=$(mktemp -d /tmp/kxqm-wine-XXXXXX)
trap 'rm -rf "$tmp"' EXIT
export KXQM_INI="Z:${tmp//\//\\}\\kxqm.ini"

q() { wrun "$QMSIM" "$@"; }
p() { wrun "$PROBE" "$@"; }
# refused CASE STATUS MESSAGE ARGS...: qmsim exits STATUS, its first line on standard
# error starts with MESSAGE, and no file changes
refused() {
    local what=$1 want=$2 message=$3 status=0 err before
    shift 3
    before=$(cd "$tmp" && find . -type f ! -name lock -exec md5sum {} + | sort)
    err=$(wine "$QMSIM" "$@" 2>&1 >/dev/null) || status=$?
    err=${err//$'\r'/}
    err=${err%%$'\n'*}
    [[ "$err" == "qmsim: $message"* ]] || err="(unexpected) $err"
    expect_eq "$status ${err:0:$((7 + ${#message}))}" "$want qmsim: $message" "refused: $what"
    expect_eq "$(cd "$tmp" && find . -type f ! -name lock -exec md5sum {} + | sort)" "$before" "nothing written: $what"
}

expect_eq "$(p walk -)" "details 0x20009601 default ''" "no settings: details fail"
expect_eq "$(q init)" "settings file $KXQM_INI" "qmsim init"
[ -d "$tmp/data" ] || fail "qmsim init made no data prefix"
q create QM1 --default
q create QM2
q channel QM1 TO.QM2 --type SDR --conname 'host2(1414)'
q channel QM1 FROM.QM2 --type RCVR --conname ''
q channel QM1 APP --type CLNT --conname 'app(1)'
q set QM1 TO.QM2 1964=42 --flag N

expect_eq "$(p walk -)" "details 0x00000000 default 'QM1'
initialize 0x00000000
connect 0 0x00000000
subpool KXSUBPOOL@SYSTEM
entry 0x01001001 type 1 TO.QM2 'host2(1414)' flag N messages 42 whole 1
entry 0x01002001 type 3 FROM.QM2 '' flag Y messages 0 whole 1
entry 0x01003001 type 6 APP 'app(1)' flag Y messages 0 whole 1
end 0x20809901" "walk of the default queue manager"
expect_eq "$(p walk QM2 | tail -2)" "subpool KXSUBPOOL@SYSTEM
end 0x20809901" "a queue manager without channels ends at once"
expect_eq "$(p walk NOPE | tail -1)" "connect 2 0x00000BB9" "unknown queue manager refused"

q restart QM1 FROM.QM2
expect_eq "$(p query - 0x01002001)" "query 0x10009515 " "old handle after a restart"
expect_eq "$(p access - 'RCVR:FROM.QM2:')" "access 0x00000000 handle 0x01002002" "access gives the new handle"
expect_eq "$(p query - 0x01002002)" "query 0x00000000 FROM.QM2" "new handle queries"

q stop QM1
expect_eq "$(p walk - | tail -1)" "connect 2 0x00000BBA" "stopped queue manager refused"
q start QM1

q fail connect 1 2104
expect_eq "$(p walk - | sed -n '3p;$p')" "connect 1 0x00000838
end 0x20809901" "warning completion still connects"
q fail connect 2 2009
expect_eq "$(p walk - | tail -1)" "connect 2 0x000007D9" "injected connect failure"
q fail connect 0
for code in 0x40000001 0x20000002; do
    q fail initialize $code
    expect_eq "$(p walk - | tail -1)" "initialize $code" "initialize fails with $code"
done
q fail initialize 0x10000003
expect_eq "$(p walk - | sed -n '2p;$p')" "initialize 0x10000003
end 0x20809901" "initialize code 0x10000003 is returned and counts as success"
q fail next 0x20001234
expect_eq "$(p walk - | tail -1)" "end 0x20001234" "injected next fault"
q fail query 0x20005678
expect_eq "$(p query - 0x01001001)" "query 0x20005678 " "injected query fault"
q fail all 0
expect_eq "$(p query - 0x01001001)" "query 0x00000000 TO.QM2" "faults cleared"
q fail details 0x20009999
expect_eq "$(p walk -)" "details 0x20009999 default ''" "injected details fault"
q fail details 0

refused "unknown command" 2 "unknown command 'frob'" frob
refused "bad type" 2 "bad channel type 'SENDER'" channel QM1 X --type SENDER --conname x
refused "bad offset" 2 "bad offset in '2036=1'" set QM1 TO.QM2 1964=1 2036=1
refused "unknown channel" 1 "no channel 'NOPE' on queue manager QM1" set QM1 NOPE 1964=1
refused "existing queue manager" 1 "queue manager 'QM1' exists already" create QM1
refused "bad fault code" 2 "bad code 'x'" fail query x

# A reader in another process while qmsim.exe writes continuously.
wine "$QMSIM" traffic QM1 --seconds 4 --rate 20000 >/dev/null 2>&1 &
writer=$!
sleep 0.5
watch=$(p watch - 2500)
status=0
wait $writer || status=$?
expect_eq "$status" 0 "qmsim traffic exits 0"
echo "# $watch"
read -r _ channels _ reads _ torn _ backwards _ changes _ failures <<<"$watch"
expect_eq "$channels $torn $backwards $failures" "3 0 0 0" "whole records only, counts never going back"
[ "$changes" -gt 20 ] || fail "the reads did not overlap the writing: $watch"
line=$(q show QM1 | sed -n '5p')
expect_eq "$(echo "$line" | awk '{print $2, $4}')" "80042 $((80000 * (256 + 64)))" \
    "traffic moved 4 s x 20000 messages of 320 bytes on TO.QM2"
