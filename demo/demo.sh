#!/usr/bin/env bash
# The main job's steps: the deliverables installed in a Wine prefix as on a
# Windows machine, fed by the stand-in queue manager, watched by chanmon.
#   demo.sh win64|win32 BIN_DIR STATE_DIR [SAMPLES [INTERVAL]]
# WINEPREFIX names the prefix (a 64-bit one: 32-bit DLLs go to syswow64).
# STATE_DIR holds the stand-in queue manager's files; the Windows programs see it
# through drive Z:. `demo.sh remove win64|win32 STATE_DIR` takes it all out again.
set -euo pipefail
export WINEDEBUG="${WINEDEBUG:--all}"
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"

say() { printf '==> %s\n' "$*"; }
w() { wine "$@" 2>/dev/null | tr -d '\r'; }
w2() { wine "$@" 2>&1 | tr -d '\r'; }  # standard error too, for the programs whose messages matter
winpath() { printf 'Z:%s' "${1//\//\\}"; }

places() { # places ARCH: the system directory and the programs directory, as Unix paths
    local c="$WINEPREFIX/drive_c"
    if [ "$1" = win64 ]; then
        sysdir="$c/windows/system32" progdir="$c/Program Files/VORTALIS" qmdir="$c/Program Files/kxqm"
        winprog='C:\Program Files\VORTALIS' winqm='C:\Program Files\kxqm'
    else
        sysdir="$c/windows/syswow64" progdir="$c/Program Files (x86)/VORTALIS" qmdir="$c/Program Files (x86)/kxqm"
        winprog='C:\Program Files (x86)\VORTALIS' winqm='C:\Program Files (x86)\kxqm'
    fi
}

if [ "${1:-}" = remove ]; then
    arch=$2 state=$3
    places "$arch"
    export KXQM_INI="$(winpath "$state")\\kxqm.ini"
    w "$winprog\\ctrload.exe" /u VORTALIS >/dev/null || true
    w reg delete 'HKLM\System\CurrentControlSet\Services\VORTALIS' /f >/dev/null || true
    w reg delete 'HKLM\System\CurrentControlSet\Services\EventLog\Application\VORTALIS' /f >/dev/null || true
    rm -f "$sysdir/VORTALIS.dll" "$sysdir"/kx{core,qmdir,base,linkst}.dll
    rm -rf "$progdir" "$qmdir"
    exit 0
fi

arch=$1 bin=$2 state=$3 samples=${4:-10} interval=${5:-1}
places "$arch"
mkdir -p "$state"
export KXQM_INI="$(winpath "$state")\\kxqm.ini"

say "install: VORTALIS.dll and the queue manager's kx*.dll into ${sysdir#"$WINEPREFIX/drive_c/"},"
say "         keyplant, hubnamer, ctrload, chanmon and the counter texts into ${progdir#"$WINEPREFIX/drive_c/"}"
mkdir -p "$sysdir" "$progdir" "$qmdir"
cp "$bin/VORTALIS.dll" "$bin"/kx{core,qmdir,base,linkst}.dll "$sysdir/"
cp "$bin"/{keyplant,hubnamer,ctrload,chanmon}.exe "$bin"/vortalis_ctr.{ini,h} "$progdir/"
cp "$bin/qmsim.exe" "$qmdir/"

say "keyplant: the service, Parameters, Performance and event-source keys"
w "$winprog\\keyplant.exe" | sed 's/^/    /'
say "ctrload: the counter texts into the performance library; First Counter and First Help for the collector"
w2 "$winprog\\ctrload.exe" "$winprog\\vortalis_ctr.ini" | sed 's/^/    /'
say "hubnamer QM1: report on the queue manager QM1"
w "$winprog\\hubnamer.exe" QM1 | sed 's/^/    /'

say "qmsim: the queue manager QM1 with five channels of different types (settings in $state)"
q() { w "$winqm\\qmsim.exe" "$@" >/dev/null; }
q init
q create QM1
q channel QM1 TO.PARIS --type SDR --conname paris.example
q channel QM1 FROM.OSLO --type RCVR --conname 10.1.2.3
q channel QM1 TO.LISBON --type SRVR --conname lisbon.example
q channel QM1 FROM.ROME --type RQSTR --conname rome.example
q channel QM1 APP.CLIENT --type CLNT --conname 192.168.7.7
w "$winqm\\qmsim.exe" show QM1 | sed 's/^/    /'

seconds=$(awk -v n="$samples" -v s="$interval" 'BEGIN { printf "%d", n * s + 8 }')
say "qmsim traffic: 40 messages a second on every channel, in the background"
wine "$winqm\\qmsim.exe" traffic QM1 --seconds "$seconds" --rate 40 >/dev/null 2>&1 &
traffic=$!
stop_traffic() {
    if kill -0 "$traffic" 2>/dev/null; then kill "$traffic" 2>/dev/null || true; fi
    wait "$traffic" 2>/dev/null || true
}
trap stop_traffic EXIT
sleep 1

say "chanmon: $samples samples, $interval s apart; it keeps the collector loaded, so the rates (12 to 14) appear"
status=0
w2 "$winprog\\chanmon.exe" -sc "$samples" -si "$interval" || status=$?
say "stopping the traffic"
stop_traffic
trap - EXIT
exit $status
