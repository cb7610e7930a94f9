#!/usr/bin/env bash
# Checks the module file as built, without running it: its format, that it exports
# exactly the protocol's names (undecorated, nothing else), that it carries its dialog
# and version resources, and that it imports only from system DLLs (no libgcc,
# libstdc++ or winpthread DLL beside it).
#   check_dll_image.sh DLL OBJDUMP FORMAT
set -u
dll=$1 objdump=$2 format=$3
status=0
fail() { echo "FAIL: $*"; status=1; }

headers=$("$objdump" -p "$dll") || { echo "FAIL: $objdump cannot read $dll"; exit 1; }

echo "$headers" | grep -q "file format $format" || fail "$dll is not $format"

exports=$(echo "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected="Actual Max configure dllshutdown dllstartup getinfo getparam init "
[ "$exports" = "$expected" ] || fail "exports are '$exports', expected '$expected'"

# Resource types, the first level of the resource directory (in hex): dialog 5, version 0x10.
types=$(echo "$headers" | sed -n '/Resource Directory section/,/^$/s/^[0-9a-f]*   Entry: ID: 0x0*\([0-9a-f]*\),.*/\1/p' |
        tr '\n' ' ')
case " $types" in *" 5 "*) ;; *) fail "$dll has no dialog resource" ;; esac
case " $types" in *" 10 "*) ;; *) fail "$dll has no version resource" ;; esac

imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for dll_name in $imports; do
    case "$dll_name" in
        kernel32.dll|advapi32.dll|user32.dll|msvcrt.dll) ;;
        *) fail "imports from $dll_name, which is not a system DLL" ;;
    esac
done

[ $status -eq 0 ] && echo "$dll: $format; exports: $exports; imports: $(echo $imports)"
exit $status
