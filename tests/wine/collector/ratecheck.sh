# The per-second rates of the Windows build, worked out by the same code and
# with the same compiler settings as VORTALIS.dll, against the shared table.
# usage: ratecheck.sh RATECHECK.EXE
source "$(dirname "$0")/../lib.sh"

status=0
out=$(wrun "$1") || status=$?
echo "$out"
expect_eq "$(grep -v '^ok - ' <<<"$out" || true)" "" "every rate as in double precision"
expect_eq "$status" 0 "ratecheck exit status"
