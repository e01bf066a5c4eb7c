# The package's install.cmd and uninstall.cmd run by Wine's cmd.exe, 64- and
# 32-bit. Wine's lodctr and unlodctr are stubs that succeed and write nothing,
# so what is checked is the rest: the DLL, keyplant's keys, hubnamer's name and
# their removal, and that each package refuses the other kind of Windows.
# usage: package.sh win64|win32 BIN_DIR REGTOOL.EXE
source "$(dirname "$0")/../lib.sh"
arch=$1 bin=$2 regtool=$3
source "$(dirname "$0")/perflib.sh"
pkg=$(mktemp -d /tmp/vortalis-package.XXXXXX)
sys64="$WINEPREFIX/drive_c/windows/system32"
cleanup() {
    rm -f "$sys64/VORTALIS.dll"
    wrun "$regtool" delete "$service" >/dev/null || true
    wrun "$regtool" delete 'System\CurrentControlSet\Services\EventLog\Application\VORTALIS' >/dev/null || true
    rm -rf "$pkg"
}
trap cleanup EXIT
bash "$REPO/package/stage.sh" "$arch" "$bin" "$pkg/vortalis" 0.0.0
expect_eq "$(cd "$pkg/vortalis" && ls | LC_ALL=C sort | tr '\n' ' ')" \
    "INSTALL.txt VORTALIS.dll hubnamer.exe install.cmd keyplant.exe uninstall.cmd vortalis_ctr.h vortalis_ctr.ini " \
    "the package's files"
grep -q $'^@echo off\r$' "$pkg/vortalis/install.cmd" || fail "install.cmd without Windows line ends"
echo "ok - Windows line ends"

# The wine launcher starts Wine's own programs 32-bit; its 64-bit loader starts them 64-bit.
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
cmd_run() { # cmd_run VAR 64|32 ARGS...: like run, through the 64- or 32-bit cmd.exe
    local __var=$1 __bits=$2 __out __rc=0
    shift 2
    if [ "$__bits" = 64 ]; then __out=$("$wine64" cmd /c "$@" 2>&1) || __rc=$?
    else __out=$(wine cmd /c "$@" 2>&1) || __rc=$?; fi
    printf -v "$__var" '%s' "${__out//$'\r'/}"
    printf -v "${__var}_rc" '%s' "$__rc"
}
install="$(winpath "$pkg")\\vortalis\\install.cmd" uninstall="$(winpath "$pkg")\\vortalis\\uninstall.cmd"

if [ "$arch" = win32 ]; then
    for cmd in 64 32; do
        cmd_run out $cmd "$install" QM1
        expect_eq "$out_rc" 1 "the 32-bit package refuses 64-bit Windows ($cmd-bit cmd.exe)"
        expect_eq "$out" "This is the 32-bit package of VORTALIS: this Windows needs the other one." "and says so"
        expect_eq "$(wrun "$regtool" dump "$service")" missing "nothing registered"
        cmd_run out $cmd "$uninstall"
        expect_eq "$out_rc" 1 "the 32-bit package's uninstall.cmd refuses 64-bit Windows too ($cmd-bit cmd.exe)"
        expect_eq "$out" "This is the 32-bit package of VORTALIS: this Windows needs the other one." "and says so"
    done
    exit 0
fi

for cmd in 64 32; do
    cmd_run out $cmd "$install" "QM ONE"
    expect_eq "$out_rc" 0 "install.cmd succeeds ($cmd-bit cmd.exe)"
    printf '%s\n' "$out" | grep -qxF "Set HKEY_LOCAL_MACHINE\\$service\\Parameters\\QMName to QM ONE" ||
        fail "install.cmd did not name the queue manager: $out"
    cmp -s "$bin/VORTALIS.dll" "$sys64/VORTALIS.dll" || fail "VORTALIS.dll is not in the 64-bit system directory"
    expect_eq "$(reg64 "$perf" Library)" "REG_SZ VORTALIS.DLL" "keyplant ran ($cmd-bit cmd.exe)"
    expect_eq "$(reg64 "$service\\Parameters" QMName)" "REG_SZ QM ONE" "hubnamer ran with the name ($cmd-bit cmd.exe)"

    cmd_run out $cmd "$uninstall"
    expect_eq "$out_rc" 0 "uninstall.cmd succeeds ($cmd-bit cmd.exe)"
    expect_eq "$(wrun "$regtool" dump "$service")" missing "the service key is gone ($cmd-bit cmd.exe)"
    expect_eq "$(wrun "$regtool" dump 'System\CurrentControlSet\Services\EventLog\Application\VORTALIS')" missing \
        "the event source is gone ($cmd-bit cmd.exe)"
    [ ! -e "$sys64/VORTALIS.dll" ] || fail "VORTALIS.dll is still in the system directory"
    echo "ok - VORTALIS.dll removed ($cmd-bit cmd.exe)"
done

# A name hubnamer refuses: everything else is installed, and the script says
# what is missing and fails.
long=$(printf 'Q%.0s' $(seq 1 48))
cmd_run out 64 "$install" "$long"
expect_eq "$out_rc" 1 "install.cmd with a name hubnamer refuses fails"
printf '%s\n' "$out" | grep -qxF "VORTALIS is installed, but the queue manager was not chosen: the step above failed." ||
    fail "install.cmd did not say the queue manager was not chosen: $out"
expect_eq "$(reg64 "$perf" Library)" "REG_SZ VORTALIS.DLL" "the rest is installed"

# A DLL that cannot be deleted: the keys go, the script says what is left and
# fails; run again once the DLL can go, it finishes and succeeds.
chmod a-w "$sys64/VORTALIS.dll"
cmd_run out 64 "$uninstall"
chmod u+w "$sys64/VORTALIS.dll"
expect_eq "$out_rc" 1 "uninstall.cmd fails when the DLL cannot be deleted"
printf '%s\n' "$out" | grep -qxF "VORTALIS is not removed completely: see the steps above." ||
    fail "uninstall.cmd did not say what was left: $out"
printf '%s\n' "$out" | grep -qxF "VORTALIS is removed." && fail "uninstall.cmd said it removed everything: $out"
expect_eq "$(wrun "$regtool" dump "$service")" missing "the service key is gone all the same"
cmd_run out 64 "$uninstall"
expect_eq "$out_rc" 0 "uninstall.cmd run again succeeds"
[ ! -e "$sys64/VORTALIS.dll" ] || fail "VORTALIS.dll is still in the system directory after the second run"
echo "ok - VORTALIS.dll removed by the second run"
