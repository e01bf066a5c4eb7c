# ctrload as the demo and a user run it: index assignment in a fresh prefix and
# after other drivers, a repeat run, removal, and files or keys that are wrong.
# What it writes is read back in the 64-bit view, where the host reads, whatever
# ctrload's own architecture.
# usage: ctrload.sh CTRLOAD.EXE KEYPLANT.EXE REGTOOL.EXE
source "$(dirname "$0")/../lib.sh"
ctrload=$1 keyplant=$2 regtool=$3
source "$(dirname "$0")/perflib.sh"
ini="$(dirname "$ctrload")/vortalis_ctr.ini"
store="$perflib\\CurrentLanguage"
work=$(mktemp -d /tmp/vortalis-ctrload.XXXXXX)

cleanup() {
    fresh_perflib "$regtool"
    wrun "$regtool" delete "$service" >/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
multi_sz() {  # multi_sz STRING...: the REG_MULTI_SZ bytes of the strings as hex, as regtool takes and dumps them
    local s
    for s in "$@"; do printf '%s' "$s" | od -An -tx1 | tr -d ' \n' | tr a-f A-F; printf '00'; done
    printf '00'
}

fresh_perflib "$regtool"
wrun "$regtool" delete "$service" >/dev/null
# Wine keeps Perflib\009 to itself: every open of it gives the performance-text
# handle (its lists are Wine's own, it takes no values and enumerates nothing),
# so the lists live in Perflib\CurrentLanguage.
expect_eq "$(wrun "$regtool" dump "$perflib\\009")" "error 6" "Perflib\\009 opens as a handle that is no key"

run out "$ctrload" "$(winpath "$ini")"
expect_eq "$out_rc" 1 "loading before keyplant fails"
expect_eq "$out" "ctrload: HKEY_LOCAL_MACHINE\\$perf does not exist: register VORTALIS first (keyplant); nothing changed" \
    "loading before keyplant says why"
expect_eq "$(reg64 "$perflib" "Last Counter")" missing "nothing written before keyplant"

wrun "$keyplant" >/dev/null
run out "$ctrload" "$(winpath "$ini")"
expect_eq "$out_rc" 0 "first load succeeds"
expect_eq "$out" "Loaded the counter texts of VORTALIS: counters 2 to 32, help 3 to 33
  HKEY_LOCAL_MACHINE\\$perf: First Counter 2, Last Counter 32, First Help 3, Last Help 33
  language 009: 16 names and 16 help texts added, in HKEY_LOCAL_MACHINE\\$store
  HKEY_LOCAL_MACHINE\\$perflib: Last Counter 32, Last Help 33" "first load in a fresh prefix"
for pair in "First Counter|0x2" "Last Counter|0x20" "First Help|0x3" "Last Help|0x21"; do
    expect_eq "$(reg64 "$perf" "${pair%|*}")" "REG_DWORD ${pair#*|}" "${pair%|*} in the Performance key"
done
expect_eq "$(reg64 "$perflib" "Last Counter")" "REG_DWORD 0x20" "Perflib's Last Counter raised (64-bit view)"
expect_eq "$(reg64 "$perflib" "Last Help")" "REG_DWORD 0x21" "Perflib's Last Help raised (64-bit view)"
counter=$(reg64 "$store" Counter)
case "$counter" in
    'REG_MULTI_SZ 2\0Queue Manager Channels\04\0Messages\06\0Bytes Sent\0'*'32\0Messages/sec') echo "ok - Counter list, 64-bit view" ;;
    *) fail "Counter list in the 64-bit view: $counter" ;;
esac
help=$(reg64 "$store" Help)
case "$help" in
    'REG_MULTI_SZ 3\0The channels of the queue manager'*'\033\0The messages the channel moved per second'*) echo "ok - Help list, 64-bit view" ;;
    *) fail "Help list in the 64-bit view: $help" ;;
esac

lists_before=$(wrun "$regtool" dump "$store")
run out "$ctrload" "$(winpath "$ini")"
expect_eq "$out_rc" 0 "a second load succeeds"
expect_eq "$(printf '%s\n' "$out" | head -n 1)" \
    "VORTALIS is loaded already (counters 2 to 32, help 3 to 33): its texts were replaced in place" "second load"
expect_eq "$(wrun "$regtool" dump "$store")" "$lists_before" "a second load leaves the lists as they were"
expect_eq "$(reg64 "$perflib" "Last Counter")" "REG_DWORD 0x20" "a second load takes no new indexes"

run out "$ctrload" /u VORTALIS
expect_eq "$out_rc" 0 "removal succeeds"
expect_eq "$out" "Removed the counter texts of VORTALIS: counters 2 to 32, help 3 to 33
  HKEY_LOCAL_MACHINE\\$perf: First Counter, Last Counter, First Help, Last Help removed
  language 009: 16 names and 16 help texts removed, in HKEY_LOCAL_MACHINE\\$store
  HKEY_LOCAL_MACHINE\\$perflib: Last Counter 0, Last Help 1" "removal"
for name in "First Counter" "Last Counter" "First Help" "Last Help"; do
    expect_eq "$(reg64 "$perf" "$name")" missing "$name removed from the Performance key"
done
# (regtool reads the lists as 8-bit text: an empty list is its one zero byte)
expect_eq "$(wrun "$regtool" dump "$store" | LC_ALL=C sort)" "Counter|7|00
Help|7|00" "removal empties the lists"
run out "$ctrload" /u VORTALIS
expect_eq "$out_rc" 1 "a second removal fails"
expect_eq "$out" "ctrload: VORTALIS: no counter texts are loaded (the Performance key has no First Counter, Last Counter, First Help or Last Help); nothing changed" "a second removal says why"

# After other drivers: Perflib's last indexes and lists that hold texts already.
wrun "$regtool" set "$perflib" "Last Counter" 4 36070000  # 1846
wrun "$regtool" set "$perflib" "Last Help" 4 37070000     # 1847
other_counter=$(multi_sz 2 System 1846 "End Marker")
other_help=$(multi_sz 3 "System help" 1847 "End Marker help")
wrun "$regtool" set "$store" Counter 7 "$other_counter"
wrun "$regtool" set "$store" Help 7 "$other_help"
run out "$ctrload" "$(winpath "$ini")"
expect_eq "$(printf '%s\n' "$out" | head -n 1)" "Loaded the counter texts of VORTALIS: counters 1848 to 1878, help 1849 to 1879" \
    "the next free indexes after Last Counter 1846 and Last Help 1847"
case "$(reg64 "$store" Counter)" in
    'REG_MULTI_SZ 2\0System\01846\0End Marker\01848\0Queue Manager Channels\0'*'1878\0Messages/sec') echo "ok - texts added after the others'" ;;
    *) fail "Counter list after other drivers: $(reg64 "$store" Counter)" ;;
esac
wrun "$ctrload" /u VORTALIS >/dev/null
expect_eq "$(wrun "$regtool" dump "$store" | LC_ALL=C sort)" "Counter|7|$other_counter
Help|7|$other_help" "removal leaves the other drivers' texts"
expect_eq "$(reg64 "$perflib" "Last Counter") $(reg64 "$perflib" "Last Help")" "REG_DWORD 0x736 REG_DWORD 0x737" \
    "removal puts Last Counter and Last Help back"

# Files that are missing or wrong change nothing.
cp "$ini" "$(dirname "$ini")/vortalis_ctr.h" "$work/"
state() { wrun "$regtool" dump "$perf"; wrun "$regtool" dump "$store"; wrun "$regtool" dump "$perflib" | grep Last; }
before=$(state)
sed -i 's/^#define MESSAGES 2/#define MESSAGES 3/' "$work/vortalis_ctr.h"
run out "$ctrload" "$(winpath "$work/vortalis_ctr.ini")"
expect_eq "$out_rc" 1 "an odd offset fails"
expect_eq "$out" "ctrload: $(winpath "$work")\\vortalis_ctr.h:5: MESSAGES has the odd offset 3: offsets are even; nothing changed" \
    "an odd offset says where"
rm "$work/vortalis_ctr.h"
run out "$ctrload" "$(winpath "$work/vortalis_ctr.ini")"
expect_eq "$out" "ctrload: cannot read the symbol file $(winpath "$work")\\vortalis_ctr.h; nothing changed" "a missing symbol file"
run out "$ctrload" "$(winpath "$work/none.ini")"
expect_eq "$out" "ctrload: cannot read $(winpath "$work")\\none.ini; nothing changed" "a missing .ini"
expect_eq "$out_rc" 1 "a missing .ini fails"
printf '[info]\ndrivername=VORTALIS\n' >"$work/bad.ini"
run out "$ctrload" "$(winpath "$work/bad.ini")"
expect_eq "$out" "ctrload: $(winpath "$work")\\bad.ini: [info] has no symbolfile; nothing changed" "an .ini without a symbol file"
expect_eq "$(state)" "$before" "nothing changed by the files that failed"

run out "$ctrload"
expect_eq "$out_rc" 2 "no argument is a usage error"
