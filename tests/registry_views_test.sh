#!/usr/bin/env bash
# The monitor's key in either registry view of a 64-bit Wine prefix, as the built
# plug-in finds it through its exports (qxhost get) and as qxhost info reports it:
#   registry_views_test.sh BIN_DIR OWN_BITS
# OWN_BITS (32 or 64) is the kind of the build, so its own view. The key is written by
# Wine's reg.exe with /reg:32 or /reg:64, as a monitoring program of that kind would
# write it, never through the plug-in's code. Every answer comes from a process of its
# own; both views are cleared before and after.
set -u
bin=$1 own=$2
other=$((own == 64 ? 32 : 64))
here=$(cd "$(dirname "$0")" && pwd)
run() { "$here/../scripts/wine-run" "$bin/qxhost.exe" "$@" 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=/usr/lib/wine/wine
reg() { WINEDEBUG=-all "$wine" reg "$@" >/dev/null 2>&1; }

"$here/../scripts/wine-run" "$bin/qxhost.exe" >/dev/null 2>&1
[ $? -eq 77 ] && { echo "SKIPPED: Wine cannot run $bin/qxhost.exe here"; exit 77; }

top='HKLM\SOFTWARE\Orvendal'
key="$top"'\Quintavo\Monitoring'
clear_views() { reg delete "$top" /f /reg:32; reg delete "$top" /f /reg:64; }
work=$(mktemp -d)
trap 'clear_views; rm -rf "$work"' EXIT
clear_views

# Without two views every case below would prove nothing.
probe="$top"'\ViewProbe'
for bits in 32 64; do
    reg add "$probe" /v Bits /t REG_SZ /d $bits /f /reg:$bits
    if reg query "$probe" /reg:$((bits == 64 ? 32 : 64)); then
        echo "FAILED: this Wine prefix has one registry view: a key written with /reg:$bits is seen in the other"
        exit 1
    fi
    reg delete "$probe" /f /reg:$bits
done

# Two monitor keys that tell apart which one the plug-in read: A (two sources, a log
# whose source 1 is 11.5) and B (three sources, source 1 is 22.5, source 3 is 2.20);
# P is A without its Sources value.
winpath() { echo "Z:$(tr / '\\' <<<"$1")"; }
printf 'head\r\nhead\r\nhead\r\n1 2 3 11.5xC #1100MH #1.10Volt #1000rpm\r\n' > "$work/a.log"
printf 'head\r\nhead\r\nhead\r\n1 2 3 22.5xC #2200MH #2.20Volt #2000rpm\r\n' > "$work/b.log"
write_key() {  # write_key A|B|P|- BITS
    local log=a.log sources="+A one,+A two"
    case $1 in
        -) return ;;
        B) log=b.log sources="+B one,+B two,+B three" ;;
        P) sources= ;;
    esac
    reg add "$key" /v LogFilePath /t REG_SZ /d "$(winpath "$work/$log")" /f /reg:$2
    [ -z "$sources" ] || reg add "$key" /v Sources /t REG_SZ /d "$sources" /f /reg:$2
}

passed=0 failed=0
expect() {  # expect CASE WHAT PATTERN OUTPUT STATUS
    if [ "$5" -eq 0 ] && grep -q -E -- "$3" <<<"$4"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $1: $2: status $5, output lacks /$3/:"
        sed 's/^/    /' <<<"$4"
    fi
}

found_own="found in the $own-bit view, the plug-in's own"
found_other="found in the $other-bit view \(the plug-in's own view is the $own-bit one\)"
in_neither="missing in the $own-bit view \(the plug-in's own\) and in the $other-bit view"
invalid='^Invalid parameter$'

# case NAME OWN_VIEW_KEY OTHER_VIEW_KEY ACTUAL_1 ACTUAL_3 INFO_PATTERN
case_() {
    clear_views
    write_key "$2" "$own"
    write_key "$3" "$other"
    local out status
    out=$(run "$bin/QuintavoExtract.dll" get Actual 1); status=$?
    expect "$1" "get Actual 1" "$4" "$out" $status
    out=$(run "$bin/QuintavoExtract.dll" get Actual 3); status=$?
    expect "$1" "get Actual 3" "$5" "$out" $status
    out=$(run "$bin/QuintavoExtract.dll" info); status=$?
    expect "$1" "info" "$6" "$out" $status
    info=$out
}

case_ "only in the $own-bit view" A - '^11\.5$' "$invalid" "$found_own"
case_ "only in the $other-bit view" - B '^22\.5$' '^2\.20$' "$found_other"
expect "only in the $other-bit view" "info: its sources" '3 : B three' "$info" 0
out=$(run "$bin/QuintavoExtract.dll" watch --every 1 --count 1); status=$?
expect "only in the $other-bit view" "watch" '^Actual +22\.5 +2200 +2\.20' "$out" $status
case_ "in both, different Sources: the $own-bit view wins" A B '^11\.5$' "$invalid" "$found_own"
case_ "in neither" - - "$invalid" "$invalid" "$in_neither"
case_ "in the $own-bit view without Sources: no fallback" P B "$invalid" "$invalid" "$found_own"
expect "in the $own-bit view without Sources" "info: Sources missing" 'Sources +missing' "$info" 0

echo "registry views (own: $own-bit): $passed passed, $failed failed"
[ "$failed" -eq 0 ]
