# The collector as consumers meet it: registered by keyplant, loaded by Wine's
# performance-data host for each query, fed by the stand-in queue manager.
# usage: perfhost.sh PERFHOST.EXE KEYPLANT.EXE QMSIM.EXE REGTOOL.EXE
source "$(dirname "$0")/../lib.sh"
perfhost=$1 keyplant=$2 qmsim=$3 regtool=$4
perf='System\CurrentControlSet\Services\VORTALIS\Performance'

state=$(mktemp -d /tmp/vortalis-perfhost.XXXXXX)
trap 'rm -rf "$state"' EXIT
export KXQM_INI="Z:${state//\//\\}\\kxqm.ini"

q() { wrun "$qmsim" "$@" >/dev/null || fail "qmsim $*"; }
qmsim_two_channels "$qmsim"

wrun "$keyplant" >/dev/null
# What the counter loader would write: the object's texts at 230 and 231.
wrun "$regtool" set "$perf" "First Counter" 4 E6000000
wrun "$regtool" set "$perf" "First Help" 4 E7000000

object='object index=230 help=231 counters=15 instances=2 total=968
instance "SDR:TO.PARIS:paris.example" 11 2200 33 4 5 6 7 8 9 10 12 13 0 0 0
instance "RCVR:FROM.OSLO:10.1.2.3" 21 0 4400 0 0 0 0 0 0 0 0 0 0 0 0'
for name in Global "228 230" Costly; do
    expect_eq "$(wrun "$perfhost" "$name")" "query 1 rc=0
objects=1
$object" "the host returns the object for '$name'"
done
for name in Foreign "228" "x 230"; do
    expect_eq "$(wrun "$perfhost" "$name")" "query 1 rc=0
objects=0" "no object for '$name'"
done

# Kept loaded between queries, the collector keeps its previous samples: the
# rates follow the counts' change over the time between the queries.
q traffic QM1 --seconds 6 --rate 200 &
traffic=$!
sleep 1
out=$(wrun "$perfhost" Global 4 1000 keep)
wait $traffic
echo "$out" | grep -q '^instance "SDR:TO.PARIS' || fail "no sender instance while traffic runs: $out"
# Rates of the last query against the counts' change between the last two.
read -r m1 s1 <<<"$(echo "$out" | grep '^instance "SDR' | sed -n 3p | awk '{print $3, $4}')"
read -r m2 s2 rate_s rate_m <<<"$(echo "$out" | grep '^instance "SDR' | sed -n 4p | awk '{print $3, $4, $15, $17}')"
[ "$m2" -gt "$m1" ] || fail "messages did not grow under traffic: $m1 -> $m2"
[ "$rate_m" -gt 0 ] && [ "$rate_s" -gt 0 ] || fail "rates stay 0 while kept loaded: $out"
# One second apart (give or take the machine's load): rate within a factor of 2.
for pair in "$((m2 - m1)) $rate_m messages" "$((s2 - s1)) $rate_s bytes"; do
    set -- $pair
    [ "$2" -ge $(($1 / 2)) ] && [ "$2" -le $(($1 * 2)) ] || fail "$3 rate $2 against a change of $1 in about a second"
done
echo "ok - rates follow the counts while the collector stays loaded"

# Without a connection the open fails; the events tell why, in order.
q stop QM1
events=$(WINEDEBUG=-all,fixme+advapi wine "$perfhost" Global 2>&1 >/dev/null |
    sed -n 's/.*ReportEventA ([^,]*,\(0x[0-9a-f]*\),[^,]*,\(0x[0-9a-f]*\),.*/\1 \2/p' | tr '\n' ' ')
expect_eq "$events" "0x0004 0x600007d0 0x0001 0xe00007d2 0x0004 0x600007d1 " "refused connection: opened, error 2002, closed"
q start QM1
