#!/usr/bin/env bash
# The portable core stays portable and heap-free: none of its sources includes
# <windows.h>, and the only outside functions its library calls are the C string
# and memory routines (no allocator, no exceptions, no stdio).
#   check_core_portable.sh SOURCE_DIR CORE_LIBRARY
set -u
src=$1 lib=$2
status=0

core_sources=$(ls "$src"/settings/*.h "$src"/settings/*.cpp "$src"/logvalues/*.h "$src"/logvalues/*.cpp "$src"/plugin/plugin_info.* "$src"/dialog/centring.* | grep -v "_win32\.")
if grep -n -E '#[[:space:]]*include[[:space:]]*[<"]windows\.h[>"]' $core_sources; then
    echo "FAIL: the portable core includes <windows.h>"
    status=1
fi

allowed='^(memchr|memcmp|memcpy|memmove|memset|strcmp|strlen|strnlen|__stack_chk_fail|_GLOBAL_OFFSET_TABLE_)$'
defined=$(nm --defined-only -g "$lib" | awk 'NF == 3 { print $3 }' | sort -u)
outside=$(nm -u "$lib" | awk 'NF == 2 { print $2 }' | sort -u | comm -23 - <(echo "$defined"))
unexpected=$(echo "$outside" | grep -v -E "$allowed" | grep -v '^$')
if [ -n "$unexpected" ]; then
    echo "FAIL: the portable core calls outside functions it should not:"
    echo "$unexpected" | c++filt
    status=1
fi

# What is built with AVX2 on must define nothing but its own entry points:
# a weak (inline) definition there could be the copy the linker keeps for every
# caller, and then a CPU without AVX2 would run it.
weak=$(nm -A "$lib" 2>/dev/null | grep -E '(field_finder|quick_test)_avx2' | awk '$(NF-1) ~ /^[WwVv]$/ { print $NF }' | c++filt)
if [ -n "$weak" ]; then
    echo "FAIL: the AVX2 finder defines functions the linker may share with the rest:"
    echo "$weak"
    status=1
fi

[ $status -eq 0 ] && echo "core is portable; it calls only: $(echo $outside)"
exit $status
