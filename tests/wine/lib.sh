# Sourced by the Wine integration tests. Each test runs Windows programs in the
# prefix named by WINEPREFIX (./run test makes build/wineprefix-test fresh and
# passes it down); a missing prefix is created here.
set -euo pipefail

_lib_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$_lib_dir/../.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$REPO/build/wineprefix-test}"
export WINEDEBUG="${WINEDEBUG:--all}"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wineserver -w
fi

# wrun PROGRAM ARGS...: runs a Windows program; its standard output with the
# carriage returns of text mode removed. The program's exit status is kept.
wrun() {
    local out status=0
    out=$(wine "$@" 2>/dev/null) || status=$?
    printf '%s' "${out//$'\r'/}"
    [ -n "$out" ] && printf '\n'
    return $status
}

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# expect_eq ACTUAL EXPECTED WHAT
expect_eq() {
    if [ "$1" != "$2" ]; then
        printf 'FAIL: %s\n--- expected\n%s\n--- got\n%s\n' "$3" "$2" "$1" >&2
        exit 1
    fi
    echo "ok - $3"
}

# qmsim_two_channels QMSIM: QM1, the default queue manager, with a sender and a
# receiver whose counts the Wine tests of the collector and the monitor expect.
# KXQM_INI must name the installation already.
qmsim_two_channels() {
    local qmsim=$1 step
    local steps=(
        "init"
        "create QM1 --default"
        "channel QM1 TO.PARIS --type SDR --conname paris.example"
        "channel QM1 FROM.OSLO --type RCVR --conname 10.1.2.3"
        "set QM1 TO.PARIS 1964=11 1968=2200 1972=33 1976=4 1984=5 1988=6 1992=7 1996=8 1928=9 308=10 1940=12 1944=13 --flag Y"
        "set QM1 FROM.OSLO 1964=21 1968=0 1972=4400 1940=99 --flag N")
    for step in "${steps[@]}"; do
        # shellcheck disable=SC2086  # each step is split into its words on purpose
        wrun "$qmsim" $step >/dev/null || fail "qmsim $step"
    done
}
