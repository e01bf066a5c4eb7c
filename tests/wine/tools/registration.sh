# keyplant and hubnamer as a user runs them, in a Wine prefix, with the registry
# read back through the real API.
# usage: registration.sh KEYPLANT.EXE HUBNAMER.EXE REGTOOL.EXE
source "$(dirname "$0")/../lib.sh"
keyplant=$1 hubnamer=$2 regtool=$3

service='System\CurrentControlSet\Services\VORTALIS'
params="$service\\Parameters"
perf="$service\\Performance"
event='System\CurrentControlSet\Services\EventLog\Application\VORTALIS'
full() { printf 'HKEY_LOCAL_MACHINE\\%s' "$1"; }

# The registry enumerates values in an order of its own: compare them sorted.
values() { wrun "$regtool" dump "$1" | LC_ALL=C sort; }
expect_values() { expect_eq "$(values "$1")" "$(printf '%s\n' "$2" | LC_ALL=C sort)" "$3"; }

reset_keys() {
    wrun "$regtool" delete "$service" >/dev/null
    wrun "$regtool" delete "$event" >/dev/null
}

run_status() { # run_status VAR PROGRAM ARGS...: output into VAR, exit status into VAR_rc
    local __var=$1 __out __rc=0
    shift
    __out=$(wrun "$@") || __rc=$?
    printf -v "$__var" '%s' "$__out"
    printf -v "${__var}_rc" '%s' "$__rc"
}

reset_keys

# The name tool needs the Parameters key that keyplant makes.
run_status out "$hubnamer" QM1
expect_eq "$out" "Failed to open $(full "$params")" "hubnamer before keyplant"
expect_eq "$out_rc" 1 "hubnamer before keyplant fails"
expect_eq "$(wrun "$regtool" dump "$params")" "missing" "hubnamer creates nothing"

run_status out "$keyplant"
expect_eq "$out" "New key $(full "$service") added to registry
New key $(full "$params") added to registry
New key $(full "$perf") added to registry
New key $(full "$event") added to registry" "keyplant first run"
expect_eq "$out_rc" 0 "keyplant first run succeeds"

expect_values "$service" "ErrorControl|4|01000000
Start|4|03000000
Type|4|01000000" "service key values"
expect_values "$params" "EventLogLevel|4|03000000
QMName|1|00" "Parameters values"
expect_values "$perf" "Library|1|564F5254414C49532E444C4C00
Open|1|566F7274616C69734F70656E00
Collect|1|566F7274616C6973436F6C6C65637400
Close|1|566F7274616C6973436C6F736500" "Performance values"
expect_values "$event" "EventMessageFile|2|2553797374656D526F6F74255C53797374656D33325C564F5254414C49532E444C4C00
TypesSupported|4|07000000" "event-source values"

run_status out "$hubnamer"
expect_eq "$out" "Set $(full "$params")\\QMName to default" "hubnamer without a name"
run_status out "$hubnamer" "QM ONE" ignored
expect_eq "$out" "Set $(full "$params")\\QMName to QM ONE" "hubnamer with a blank in the name"
expect_eq "$(wrun "$regtool" dump "$params" | grep '^QMName')" "QMName|1|514D204F4E4500" "name stored with its blank"
run_status out "$hubnamer" "$(printf 'Q%.0s' $(seq 48))"
expect_eq "$out" "Queue manager name not set: it is 48 characters long, the limit is 47 characters" \
    "hubnamer refuses 48 characters"
expect_eq "$out_rc" 2 "refused name fails"
expect_eq "$(wrun "$regtool" dump "$params" | grep '^QMName')" "QMName|1|514D204F4E4500" "refused name not stored"

# A second run opens what exists and puts its own values back.
wrun "$regtool" set "$params" EventLogLevel 4 00000000
wrun "$regtool" set "$perf" "First Counter" 4 BC020000
run_status out "$keyplant"
expect_eq "$out" "Existing key $(full "$service") opened
Existing key $(full "$params") opened
Existing key $(full "$perf") opened
Existing key $(full "$event") opened" "keyplant second run"
expect_values "$params" "EventLogLevel|4|03000000
QMName|1|00" "second run resets EventLogLevel and QMName"
expect_eq "$(wrun "$regtool" dump "$perf" | grep '^First Counter')" "First Counter|4|BC020000" \
    "second run keeps values it does not own"

# With DebugLevel set, every value written has its line.
wrun "$regtool" set "$params" DebugLevel 4 01000000
run_status out "$keyplant"
expect_eq "$out" "Existing key $(full "$service") opened
ErrorControl value set in $(full "$service")
Start value set in $(full "$service")
Type value set in $(full "$service")
Existing key $(full "$params") opened
EventLogLevel value set in $(full "$params")
QMName value set in $(full "$params")
Existing key $(full "$perf") opened
Library value set in $(full "$perf")
Open value set in $(full "$perf")
Collect value set in $(full "$perf")
Close value set in $(full "$perf")
Existing key $(full "$event") opened
EventMessageFile value set in $(full "$event")
TypesSupported value set in $(full "$event")" "keyplant with DebugLevel 1"

# A key that cannot be created ends the run. The registry refuses a lasting key
# under a volatile one, which makes a parent that cannot take the key.
reset_keys
wrun "$regtool" volatile "$service"
run_status out "$keyplant"
expect_eq "$out" "Existing key $(full "$service") opened
Unable to create $(full "$params")" "keyplant stops at the Parameters key"
expect_eq "$out_rc" 1 "a stopped run fails"
expect_values "$service" "ErrorControl|4|01000000
Start|4|03000000
Type|4|01000000" "values before the stop stay written"
expect_eq "$(wrun "$regtool" dump "$perf")" "missing" "nothing after the stop is written"

reset_keys
eventlog='System\CurrentControlSet\Services\EventLog'
wrun "$regtool" delete "$eventlog\\Application"
wrun "$regtool" volatile "$eventlog\\Application"
run_status out "$keyplant"
wrun "$regtool" delete "$eventlog\\Application"
wrun "$regtool" set "$eventlog\\Application" _placeholder 4 00000000 # recreate it lasting
expect_eq "$(printf '%s\n' "$out" | tail -n 1)" "Unable to create $(full "$event")" \
    "keyplant stops at the event-source key"
expect_eq "$(printf '%s\n' "$out" | wc -l | tr -d ' ')" 4 "three keys made before the stop"
expect_eq "$(wrun "$regtool" dump "$perf" | wc -l | tr -d ' ')" 4 "Performance values stay written"
reset_keys

# Standard output only, whether a run succeeds or fails.
errors=$(wine "$hubnamer" QM1 2>&1 >/dev/null || true)
errors+=$(wine "$keyplant" 2>&1 >/dev/null || true)
errors+=$(wine "$hubnamer" QM1 2>&1 >/dev/null || true)
errors+=$(wine "$hubnamer" "$(printf 'Q%.0s' $(seq 1 48))" 2>&1 >/dev/null || true)
expect_eq "$errors" "" "nothing on standard error"
reset_keys
