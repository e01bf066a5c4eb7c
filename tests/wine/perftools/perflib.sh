# Helpers of the perftools tests, sourced after ../lib.sh.
perflib='SOFTWARE\Microsoft\Windows NT\CurrentVersion\Perflib'
service='System\CurrentControlSet\Services\VORTALIS'
perf="$service\\Performance"

winpath() { printf 'Z:%s' "${1//\//\\}"; }

# reg64 KEY NAME: a value as the 64-bit registry view has it ("TYPE DATA"), or
# "missing". That is where the host reads, whatever the architecture under test.
reg64() {
    local out
    out=$(wine reg query "HKLM\\$1" /v "$2" /reg:64 2>/dev/null | tr -d '\r' | grep -F "    $2    ") || {
        echo missing
        return
    }
    echo "$out" | sed "s/^    $2    //; s/    / /"
}

# run VAR PROGRAM ARGS...: standard output and error into VAR, exit status into VAR_rc.
run() {
    local __var=$1 __out __rc=0
    shift
    __out=$(wine "$@" 2>&1) || __rc=$?
    printf -v "$__var" '%s' "${__out//$'\r'/}"
    printf -v "${__var}_rc" '%s' "$__rc"
}

# Perflib as a fresh prefix has it: no last indexes, no list store of ours.
fresh_perflib() { # fresh_perflib REGTOOL.EXE
    wine reg delete "HKLM\\$perflib" /v "Last Counter" /f /reg:64 >/dev/null 2>&1 || true
    wine reg delete "HKLM\\$perflib" /v "Last Help" /f /reg:64 >/dev/null 2>&1 || true
    wrun "$1" delete "$perflib\\CurrentLanguage" >/dev/null
}
