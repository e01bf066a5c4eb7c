# chanmon against the collector in Wine's performance-data host: texts from the
# counter loader, the CSV header and rows, the table, rates under traffic with
# the collector kept loaded, --validate on what the host returns, and a collector
# that returns nothing.
# usage: chanmon.sh CHANMON.EXE CTRLOAD.EXE KEYPLANT.EXE QMSIM.EXE REGTOOL.EXE
source "$(dirname "$0")/../lib.sh"
chanmon=$1 ctrload=$2 keyplant=$3 qmsim=$4 regtool=$5
source "$(dirname "$0")/perflib.sh"
ini="$(dirname "$ctrload")/vortalis_ctr.ini"

state=$(mktemp -d /tmp/vortalis-chanmon.XXXXXX)
export KXQM_INI="$(winpath "$state")\\kxqm.ini"
traffic=
cleanup() {
    [ -n "$traffic" ] && { kill "$traffic" 2>/dev/null || true; wait "$traffic" 2>/dev/null || true; }
    wrun "$ctrload" /u VORTALIS >/dev/null || true
    fresh_perflib "$regtool"
    wrun "$regtool" delete "$service" >/dev/null || true
    rm -rf "$state"
}
trap cleanup EXIT

q() { wrun "$qmsim" "$@" >/dev/null || fail "qmsim $*"; }
qmsim_two_channels "$qmsim"

fresh_perflib "$regtool"
wrun "$regtool" delete "$service" >/dev/null
wrun "$keyplant" >/dev/null
run out "$chanmon" -sc 1
expect_eq "$out_rc" 1 "chanmon before the counter texts fails"
expect_eq "$out" "chanmon: HKEY_LOCAL_MACHINE\\$perf has no First Counter: load the counter texts first (ctrload vortalis_ctr.ini)" \
    "chanmon before the counter texts says why"

wrun "$ctrload" "$(winpath "$ini")" >/dev/null || fail "ctrload"
first=$(( $(reg64 "$perf" "First Counter" | sed 's/^REG_DWORD //') ))

names=(Messages "Bytes Sent" "Bytes Received" "Status count at 1976" "Status count at 1984" "Status count at 1988"
       "Status count at 1992" "Status count at 1996" "Status count at 1928" "Status count at 308"
       "Status count at 1940" "Status count at 1944" "Bytes Sent/sec" "Bytes Received/sec" Messages/sec)
header='"Time"'
for instance in "SDR:TO.PARIS:paris.example" "RCVR:FROM.OSLO:10.1.2.3"; do
    for name in "${names[@]}"; do header+=",\"\\Queue Manager Channels($instance)\\$name\""; done
done
paris='"11","2200","33","4","5","6","7","8","9","10","12","13","0","0","0"'
oslo='"21","0","4400","0","0","0","0","0","0","0","0","0","0","0","0"'  # flag N: 1940 and 1944 not reported

out=$(wine "$chanmon" -sc 2 -si 0.5 --csv --validate 2>"$state/err" | tr -d '\r') || fail "chanmon --csv --validate: $(cat "$state/err")"
expect_eq "$(printf '%s\n' "$out" | head -n 1)" "$header" "CSV header: the time stamp, then every instance's counters by name"
expect_eq "$(printf '%s\n' "$out" | wc -l | tr -d ' ')" 3 "CSV: the header and one row per sample"
for row in 2 3; do
    line=$(printf '%s\n' "$out" | sed -n "${row}p")
    [[ "$line" =~ ^\"[0-9]{4}-[0-9]{2}-[0-9]{2}\ [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}\",(.*)$ ]] ||
        fail "CSV row without its time stamp: $line"
    expect_eq "${BASH_REMATCH[1]}" "$paris,$oslo" "CSV row $((row - 1)): every counter of both channels"
done
expect_eq "$(tr -d '\r' <"$state/err")" "chanmon: 2 samples checked, no breach" "--validate finds the host's data sound"

run out "$chanmon" -sc 1
expect_eq "$out_rc" 0 "table"
expect_eq "$(printf '%s\n' "$out" | head -n 4)" "Queue Manager Channels (object $first): 15 counters, one column each
   0  Messages
   1  Bytes Sent
   2  Bytes Received" "table legend: the object and the counters by name"
expect_eq "$(printf '%s\n' "$out" | sed -n '16p')" "  14  Messages/sec" "table legend ends with counter 14"
expect_eq "$(printf '%s\n' "$out" | sed -n '19,21p' | tr -s ' ')" \
    "instance 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14
SDR:TO.PARIS:paris.example 11 2200 33 4 5 6 7 8 9 10 12 13 0 0 0
RCVR:FROM.OSLO:10.1.2.3 21 0 4400 0 0 0 0 0 0 0 0 0 0 0 0" "table: a row per channel, a column per counter"

# Under traffic the counts grow, and the rates follow them since chanmon keeps
# the collector loaded between samples.
wine "$qmsim" traffic QM1 --seconds 10 --rate 100 >/dev/null 2>&1 &
traffic=$!
sleep 1
out=$(wine "$chanmon" -sc 4 --csv 2>/dev/null | tr -d '\r') || fail "chanmon under traffic"
wait "$traffic" || fail "qmsim traffic"
traffic=
rows=$(printf '%s\n' "$out" | sed 1d | tr -d '"')
expect_eq "$(printf '%s\n' "$rows" | wc -l | tr -d ' ')" 4 "four samples under traffic"
msgs=($(printf '%s\n' "$rows" | cut -d, -f2))
for i in 1 2 3; do
    [ "${msgs[$i]}" -gt "${msgs[$((i - 1))]}" ] || fail "messages do not grow: ${msgs[*]}"
done
echo "ok - the message count grows: ${msgs[*]}"
read -r sent_rate received_rate msg_rate <<<"$(printf '%s\n' "$rows" | tail -n 1 | cut -d, -f14-16 | tr , ' ')"
[ "$sent_rate" -gt 0 ] && [ "$received_rate" -gt 0 ] && [ "$msg_rate" -gt 0 ] ||
    fail "rates stay 0 under traffic: $(printf '%s\n' "$rows" | tail -n 1)"
delta=$((msgs[3] - msgs[2]))
[ "$msg_rate" -ge $((delta / 3)) ] && [ "$msg_rate" -le $((delta * 3)) ] ||
    fail "messages/sec $msg_rate against $delta messages in about a second"
echo "ok - rates follow the counts: $msg_rate messages/sec"

# A collector whose open fails returns nothing: chanmon says so for each sample.
q stop QM1
run out "$chanmon" -sc 2 -si 0.2
expect_eq "$out_rc" 1 "no sample with the object fails"
expect_eq "$(printf '%s\n' "$out" | grep -c 'no data from VORTALIS')" 2 "each sample without data says so"
expect_eq "$(printf '%s\n' "$out" | tail -n 1)" "chanmon: no sample held the object of VORTALIS" "and the run ends saying so"
q start QM1

run out "$chanmon" -sc 0
expect_eq "$out_rc" 2 "a bad option is a usage error"
expect_eq "$(printf '%s\n' "$out" | head -n 2)" "chanmon: -sc takes a whole number of samples from 1, not '0'
usage: chanmon [-si SECONDS] [-sc SAMPLES] [--csv] [--validate]" "a bad option says what and how"
