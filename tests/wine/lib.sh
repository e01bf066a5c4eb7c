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
