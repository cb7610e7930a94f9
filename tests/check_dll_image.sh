#!/usr/bin/env bash
# Checks the module file as built, without running it: its format, that it exports
# exactly the protocol's names (undecorated, nothing else), that it carries its dialog
# and version resources, that it imports only from system DLLs (no libgcc, libstdc++ or
# winpthread DLL beside it), and that it and PROGRAM carry the header's security flags.
#   check_dll_image.sh DLL OBJDUMP FORMAT [PROGRAM]
set -u
dll=$1 objdump=$2 format=$3 program=${4:-}
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

# DllCharacteristics: loaded anywhere, data never run; 32-bit, no handler; 64-bit, above 4 GiB.
flags="DYNAMIC_BASE=0x40 NX_COMPAT=0x100 $([ "$format" = pei-i386 ] && echo NO_SEH=0x400 || echo HIGH_ENTROPY_VA=0x20)"
for image in "$dll" ${program:+"$program"}; do
    value=$("$objdump" -p "$image" | sed -n 's/^DllCharacteristics[[:space:]]*\([0-9a-fA-F]*\)$/\1/p')
    for flag in $flags; do
        (( 0x${value:-0} & ${flag#*=} )) || fail "$image lacks ${flag%=*} (DllCharacteristics 0x$value)"
    done
done

[ $status -eq 0 ] && echo "$dll: $format; exports: $exports; imports: $(echo $imports); flags: $flags"
exit $status
