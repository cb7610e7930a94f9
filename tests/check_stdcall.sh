#!/usr/bin/env bash
# Checks, without running it, that each export of the 32-bit module removes its own
# arguments from the stack, as a host that calls it __stdcall expects: every return
# its code can reach is `ret $N` with N the bytes of its arguments (a plain `ret`
# where it takes none). The module is stripped, so the code is found through the
# export table. From each export's address the check follows the code as the CPU
# may: both ways at a conditional jump, into the target of a jump (also a tail jump
# into another function, whose return is then the export's), past calls. So it needs
# no notion of where a function ends, and a return on any path counts.
#   check_stdcall.sh DLL OBJDUMP
set -u
dll=$1 objdump=$2
declare -A arg_bytes=([dllstartup]=8 [dllshutdown]=4 [init]=0 [getparam]=4 [getinfo]=4 [configure]=0
                      [Actual]=4 [Max]=4)
status=0
fail() { echo "FAIL: $*"; status=1; }

headers=$("$objdump" -p "$dll") || { echo "FAIL: $objdump cannot read $dll"; exit 1; }
echo "$headers" | grep -q "file format pei-i386" || { echo "FAIL: $dll is not a 32-bit DLL"; exit 1; }
image_base=$((0x$(echo "$headers" | awk '$1 == "ImageBase" { print $2 }')))

# Export name -> address: the name table gives each name's index in the address table.
declare -A rva_of_index address_of
while read -r index rva; do
    rva_of_index[$index]=$rva
done < <(echo "$headers" | sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] +base\[ *[0-9]*\] \([0-9a-f]*\) Export RVA$/\1 \2/p')
while read -r index name; do
    [ -n "${rva_of_index[$index]:-}" ] && address_of[$name]=$((image_base + 0x${rva_of_index[$index]}))
done < <(echo "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *\([0-9]*\)\] \(.*\)$/\1 \2/p')

# The instructions from address $1 on, about 4 KiB of them: "ADDRESS<TAB>INSTRUCTION".
decode() {
    "$objdump" -d --no-show-raw-insn --start-address=$(($1)) --stop-address=$(($1 + 4096)) "$dll" |
        sed -n 's/^ *\([0-9a-f]\+\):\t\(.*\)$/\1\t\2/p'
}

# Follows one run of code from address $1 until it ends, in a return, a jump or code
# already walked; prints what returns_from prints, and queues the jumps' targets.
follow_run() {
    local start=$1 lines n k address text words i mnemonic target
    while :; do
        mapfile -t lines < <(decode "$start")
        if [ ${#lines[@]} -lt 2 ]; then
            printf '?\tno code to follow at 0x%x\n' "$start"
            return
        fi
        n=$((${#lines[@]} - 1))  # the window may cut the last one: it starts the next window
        for ((k = 0; k < n; k++)); do
            address=$((0x${lines[k]%%$'\t'*}))
            text=${lines[k]#*$'\t'}
            [ -n "${seen[$address]:-}" ] && return
            seen[$address]=1
            read -r -a words <<<"$text"
            i=0
            while [[ ${words[i]:-} =~ ^(rep|repz|repe|repnz|repne|lock|bnd|notrack|data16|addr32|[c-gs]s)$ ]]; do
                i=$((i + 1))
            done
            mnemonic=${words[i]:-}
            target=${words[i + 1]:-}
            target=${target#0x}
            case "$mnemonic" in
                ret|retl|retw|lret|lretl|iret|iretl)
                    printf '%x\t%s\n' "$address" "$text"
                    return ;;
                ud2|int3|hlt)  # a trap: this path does not return
                    return ;;
                "(bad)")
                    printf '?\tno instruction at 0x%x\n' "$address"
                    return ;;
                j*|loop*)
                    if ! [[ $target =~ ^[0-9a-f]+$ ]]; then
                        printf '?\ta jump at 0x%x (%s) cannot be followed\n' "$address" "$text"
                        return
                    fi
                    queue+=($((0x$target)))
                    [[ $mnemonic == jmp* ]] && return ;;
            esac
        done
        start=$((0x${lines[n]%%$'\t'*}))
    done
}

# Walks the code that can run from address $1 and prints every return it reaches as
# "ADDRESS<TAB>INSTRUCTION", or "?<TAB>WHY" where the code cannot be followed.
returns_from() {
    local -A seen=()
    local queue=("$1")
    while [ ${#queue[@]} -gt 0 ]; do
        local next=${queue[0]}
        queue=("${queue[@]:1}")
        [ -n "${seen[$next]:-}" ] || follow_run "$next"
    done
}

for name in dllstartup dllshutdown init getparam getinfo configure Actual Max; do
    [ -n "${address_of[$name]:-}" ] || { fail "$name is not exported"; continue; }
    bytes=${arg_bytes[$name]}
    if [ "$bytes" -eq 0 ]; then want=ret; else want=$(printf 'ret $0x%x' "$bytes"); fi
    ok=1 count=0
    while IFS=$'\t' read -r where text; do
        text=$(echo $text)  # objdump pads the operands with spaces
        if [ "$where" = "?" ]; then
            fail "$name: $text"
            ok=0
        elif [ "$text" != "$want" ]; then
            fail "$name ($bytes bytes of arguments) returns with '$text' at 0x$where, expected '$want'"
            ok=0
        fi
        count=$((count + 1))
    done < <(returns_from "${address_of[$name]}")
    [ $count -gt 0 ] || { fail "$name: no return found from 0x$(printf %x "${address_of[$name]}")"; ok=0; }
    [ $ok -eq 1 ] && echo "$name: $count return(s) reached, each '$want'"
done
exit $status
