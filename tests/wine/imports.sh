# imports.sh OBJDUMP BINARY... [-- EXTRA_DLL...]
# Every DLL that the binaries import must be one of Windows' own (or one named
# after --): the compiler's runtime is linked in, never needed beside them.
set -euo pipefail
objdump=$1
shift
bins=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do bins+=("$1"); shift; done
[ $# -gt 0 ] && shift
allowed=" kernel32.dll msvcrt.dll advapi32.dll user32.dll ntdll.dll "
for extra in "$@"; do allowed+="$(echo "$extra" | tr 'A-Z' 'a-z') "; done
status=0
for bin in "${bins[@]}"; do
    dlls=$("$objdump" -p "$bin" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
    [ -n "$dlls" ] || { echo "FAIL: no import table read from $bin"; status=1; continue; }
    for dll in $dlls; do
        case "$allowed" in
            *" $dll "*) ;;
            *) echo "FAIL: $(basename "$bin") imports $dll"; status=1 ;;
        esac
    done
    [ $status -eq 0 ] && echo "ok - $(basename "$bin") imports only: $(echo $dlls)"
done
exit $status
