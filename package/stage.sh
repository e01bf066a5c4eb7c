#!/usr/bin/env bash
# Lays out one architecture's package: the three deliverables, the counter
# texts, install.cmd, uninstall.cmd and INSTALL.txt with Windows line ends.
#   stage.sh win64|win32 BIN_DIR OUT_DIR VERSION
set -euo pipefail
arch=$1 bin=$2 out=$3 version=$4
here=$(cd "$(dirname "$0")" && pwd)
case "$arch" in win64) bits=64 ;; win32) bits=32 ;; *) echo "stage.sh: win64 or win32, not '$arch'" >&2; exit 2 ;; esac
rm -rf "$out"
mkdir -p "$out"
cp "$bin/VORTALIS.dll" "$bin/keyplant.exe" "$bin/hubnamer.exe" "$bin/vortalis_ctr.ini" "$bin/vortalis_ctr.h" "$out/"
for f in install.cmd uninstall.cmd INSTALL.txt; do
    sed -e "s/@BITS@/$bits/g" -e "s/@VERSION@/$version/g" -e 's/\r$//' -e 's/$/\r/' "$here/$f" >"$out/$f"
done
