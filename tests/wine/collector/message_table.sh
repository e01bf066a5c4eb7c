# The message table of the built VORTALIS.dll, read back with FormatMessageA and
# from the raw resource.
# usage: message_table.sh MSGTABLE.EXE VORTALIS.DLL
source "$(dirname "$0")/../lib.sh"
msgtable=$1 dll=$2

status=0
out=$(wrun "$msgtable" "$(winepath -w "$dll" 2>/dev/null)") || status=$?
echo "$out"
expect_eq "$(grep -v '^ok - ' <<<"$out" || true)" "" "no message-table check fails"
expect_eq "$status" 0 "msgtable exit status"
