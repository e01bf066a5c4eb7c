# exports.sh OBJDUMP VORTALIS.DLL: the performance library looks the entry
# points up by their plain names, on 32-bit Windows too (not VortalisOpen@4).
set -euo pipefail
dump=$("$1" -p "$2")
names=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
[ "$names" = "VortalisClose VortalisCollect VortalisOpen " ] || { echo "FAIL: exports are: $names"; exit 1; }
echo "ok - exports: $names"
[[ $dump == *"Resource Directory"* ]] || { echo "FAIL: no resources"; exit 1; }
grep -qa 'V.S._.V.E.R.S.I.O.N._.I.N.F.O' "$2" || { echo "FAIL: no version resource"; exit 1; }
echo "ok - version resource present"
