#!/bin/sh
# Checks the shipped DLL's tables: DllGetClassObject is its only export, and
# it imports from Windows system DLLs only (no C++ runtime, no winpthreads).
# Usage: check_library.sh OBJDUMP DLL
objdump=$1
dll=$2
table=$("$objdump" -p "$dll") || exit 1
exports=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed 1d | grep -o '\] .*' | cut -c3-)
imports=$(printf '%s\n' "$table" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort)
echo "exports: $exports"
echo "imports:" $imports
[ "$exports" = "DllGetClassObject" ] || { echo "FAIL: unexpected exports"; exit 1; }
for dll_name in $imports; do
    case "$dll_name" in
    KERNEL32.DLL | USER32.DLL | WINHTTP.DLL | MSVCRT.DLL | ADVAPI32.DLL | CRYPT32.DLL) ;;
    *) echo "FAIL: imports $dll_name, which is not a Windows system DLL"; exit 1 ;;
    esac
done
echo "ok"
